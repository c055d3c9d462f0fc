#!/usr/bin/python3
"""The yardstick of mapconv --ccp4: gemmi's own expansion of a stored block over the cell.

    gemmi_expansion.py --block G256 BLOCK.ccp4   writes the stored block of the benchmark's
                                                 G256 experiment (P 21/c, 256 steps a side, a
                                                 quarter of the cell along y) as an
                                                 asymmetric-unit CCP4 map
    gemmi_expansion.py BLOCK.ccp4 OUT.ccp4       reads it, expands it over the cell through the
                                                 group's symmetry (Ccp4Map.setup) and writes it

The second form is what is timed as a whole process beside `mapconv --ccp4 G256`: both start
from the stored block and end with the whole cell's map on disk.
"""
import math
import sys

import gemmi


def write_block(size, path):
    """The values of make_run_cases' map: cos kx cos 2ky + sin 3kz, y over a quarter and one."""
    import numpy

    k = 2.0 * math.pi / size
    steps = numpy.arange(size)
    values = (numpy.cos(k * steps)[:, None, None] * numpy.cos(2 * k * steps)[None, :, None]
              + numpy.sin(3 * k * steps)[None, None, :]).astype(numpy.float32)
    whole = gemmi.Ccp4Map()
    whole.grid = gemmi.FloatGrid(values, gemmi.UnitCell(10, 10, 10, 90, 90, 90),
                                 gemmi.SpaceGroup("P 1 21/c 1"))
    whole.update_ccp4_header(2, True)
    block = gemmi.FractionalBox()
    block.extend(gemmi.Fractional(0, 0, 0))
    block.extend(gemmi.Fractional((size - 1) / size, 0.25, (size - 1) / size))
    whole.set_extent(block)
    whole.write_ccp4_map(path)


def expand(block_path, out_path):
    block = gemmi.read_ccp4_map(block_path)
    block.setup(float("nan"))
    block.update_ccp4_header(2, True)
    block.write_ccp4_map(out_path)


def main(arguments):
    if len(arguments) == 3 and arguments[0] == "--block":
        write_block(int(arguments[1].lstrip("G")), arguments[2])
    elif len(arguments) == 2:
        expand(*arguments)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
