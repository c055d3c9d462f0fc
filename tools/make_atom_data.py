#!/usr/bin/python3
"""Writes the atom data file data/atmdata.dat for H, D, T and He to Cf.

Needs Debian's python3-gemmi and python3-periodictable (run it with the system's python3):
    /usr/bin/python3 tools/make_atom_data.py > data/atmdata.dat

Every line is at most 80 characters: a 12-character key in columns 1-12 (atomic number in
columns 1-2) and a value in columns 13-80. The lines of one element stand together after a
line that holds only its atomic number and its name. See README.md for what each line holds.
"""

import sys

import gemmi
import periodictable

# Characteristic lines at which the anomalous scattering and absorption are tabulated:
# Cr, Cu, Mo and Ag K-alpha-1, wavelengths in Angstrom.
WAVELENGTHS = (2.289700, 1.540562, 0.709300, 0.559407)
HC_EV_ANGSTROM = 12398.4198
CLASSICAL_ELECTRON_RADIUS_FM = 2.8179403262
# Cromer-Liberman f' and f'' as gemmi computes them cover lithium to uranium.
ANOMALOUS_RANGE = range(3, 93)
LAST_ATOMIC_NUMBER = 98


def key(z, text):
    return f"{z:2d} {text}".ljust(12)


def line(key_text, value):
    value = value.rstrip()
    if len(value) > 68:
        raise ValueError(f"value of {key_text!r} is longer than 68 characters")
    return key_text + value


def table_symbol(z):
    symbol = gemmi.Element(z).name.upper()
    return symbol.rjust(2)


def xray_value(z):
    """IT92 four-Gaussian form factor: a1 b1 a2 b2 a3 b3 a4 b4 c."""
    coefs = gemmi.Element(z).it92.get_coefs()
    a, b, c = coefs[0:4], coefs[4:8], coefs[8]
    pairs = "".join(f"{a[i]:7.3f}{b[i]:8.3f}" for i in range(4))
    return pairs + f"{c:8.3f}"


def optional(value, width, decimals):
    return " " * width if value is None else f"{value:{width}.{decimals}f}"


def neutron_value(data):
    """Bound coherent scattering length, real and imaginary (fm); coherent, incoherent and
    absorption (2200 m/s) cross-sections (barn)."""
    return (
        f"{data.b_c:10.4f}"
        + optional(data.b_c_i, 10, 4)
        + optional(data.coherent, 12, 4)
        + optional(data.incoherent, 12, 4)
        + optional(data.absorption, 12, 4)
    )


def neutron_lines(z, symbol):
    element = periodictable.elements[z]
    lines = []
    if element.neutron.has_sld():
        lines.append(line(key(z, symbol + "_"), neutron_value(element.neutron)))
    for isotope in element:
        if isotope.neutron.has_sld():
            label = f"{symbol}_{isotope.isotope}"
            lines.append(line(key(z, label), neutron_value(isotope.neutron)))
    return lines


def anomalous(z):
    return [gemmi.cromer_liberman(z, HC_EV_ANGSTROM / wavelength) for wavelength in WAVELENGTHS]


def absorption_value(z):
    """Photoelectric absorption cross-section (barn per atom) from f'': 2 r_e lambda f''."""
    cross_sections = [
        2.0 * CLASSICAL_ELECTRON_RADIUS_FM * wavelength * 1.0e3 * f2
        for wavelength, (_, f2) in zip(WAVELENGTHS, anomalous(z))
    ]
    return "".join(f"{sigma:12.4E}" for sigma in cross_sections)


def anomalous_value(z):
    return "".join(f"{f1:8.3f}{f2:8.3f}" for f1, f2 in anomalous(z))


def size_value(z):
    """Covalent radius and van der Waals radius (Angstrom), atomic weight."""
    element = gemmi.Element(z)
    return f"{element.covalent_r:8.3f}{element.vdw_r:8.3f}{element.weight:10.4f}"


def element_group(z):
    symbol = table_symbol(z)
    name = periodictable.elements[z].name.capitalize()
    lines = [key(z, "") + f"{name} ({gemmi.Element(z).name})"]
    lines.append(line(key(z, symbol), xray_value(z)))
    lines.extend(neutron_lines(z, symbol))
    if z in ANOMALOUS_RANGE:
        lines.append(line(key(z, symbol + "_XAB"), absorption_value(z)))
        lines.append(line(key(z, symbol + "_XAN"), anomalous_value(z)))
    lines.append(line(key(z, symbol + "_SIZ"), size_value(z)))
    return lines


HEADER = [
    "  Atom data: X-ray form factors (IT92, gemmi), neutron scattering lengths and",
    "  cross-sections (periodictable), f' f'' and absorption at Cr Cu Mo Ag K-alpha-1",
    "  (Cromer-Liberman, gemmi), radii and atomic weights (gemmi). See README.md.",
]
TRAILER = " 0          End of the atom data"


def main():
    lines = list(HEADER)
    for z in range(1, LAST_ATOMIC_NUMBER + 1):
        lines.extend(element_group(z))
    lines.append(TRAILER)
    for text in lines:
        if len(text) > 80:
            raise ValueError(f"line longer than 80 characters: {text!r}")
    sys.stdout.write("".join(text + "\n" for text in lines))


if __name__ == "__main__":
    main()
