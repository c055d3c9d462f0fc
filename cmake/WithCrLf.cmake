# cmake -DSOURCE=<file> -DTARGET=<file> -P WithCrLf.cmake: copies a text with CR LF line ends.
file(READ ${SOURCE} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${TARGET} "${text}")
