# Installs README.md for the installed programs (run by `cmake --install` and CPack, so the
# prefix is the one installed to): commands name `vesgen`, not `build/bin/vesgen`, and the
# sample fleets are where they were installed.
# In: KVL_README_SOURCE, KVL_README_DIR (relative to the prefix), KVL_SAMPLES_DIR (likewise).
file(READ "${KVL_README_SOURCE}" text)
string(REGEX REPLACE "build/bin/([a-z])" "\\1" text "${text}")
string(REPLACE "samples/" "${CMAKE_INSTALL_PREFIX}/${KVL_SAMPLES_DIR}/" text "${text}")
string(REGEX REPLACE "^(# [^\n]*\n)" "\\1
This README comes with the installed programs: its commands name the installed `vesgen` and
`vespanel` and the sample fleets in `${CMAKE_INSTALL_PREFIX}/${KVL_SAMPLES_DIR}/`; the `scripts/`
commands and the build need the source tree.
" text "${text}")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${KVL_README_DIR}/README.md")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${text}")
