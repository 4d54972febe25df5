# cmake -DIN=<file> -DOUT=<file> -P CrLf.cmake
# Copies IN to OUT with every line ending in CR LF (bare LF and bare CR
# become CR LF; CR LF stays).
file(READ ${IN} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\r" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
