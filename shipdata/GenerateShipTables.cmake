# Writes the C++ source of g_ships and g_ports from the ship list (eight tab-separated
# columns a line; lines starting with "#" are comments) and the port list (one name a
# line, kept exactly as written, blanks included). Blank lines are skipped.
#
#   cmake -DSHIPS_FILE=ships.tsv -DPORTS_FILE=ports.txt -DHEADER_FILE=ShipTables.h
#         -DOUTPUT_FILE=ShipTables.cpp -P GenerateShipTables.cmake
#
# The expected counts are read from ShipTables.h, so the data and the array sizes cannot
# drift apart: a wrong count stops the build instead of leaving zero rows at the end of
# the array. Nothing is written unless both lists are valid, and a failed run removes an
# older output so that a stale table is never linked.
cmake_minimum_required(VERSION 3.25)

foreach(var IN ITEMS SHIPS_FILE PORTS_FILE HEADER_FILE OUTPUT_FILE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "GenerateShipTables: -D${var}=<path> is missing")
  endif()
endforeach()

# CMake lists split on ";" (unless escaped by "\" or inside "[ ]"), so these four characters
# are masked by control characters while a file is cut into lines, and restored per field.
string(ASCII 1 kSemicolonMark)
string(ASCII 2 kOpenBracketMark)
string(ASCII 3 kCloseBracketMark)
string(ASCII 4 kBackslashMark)
# Control characters other than tab and line ends have no place in the lists.
string(ASCII 1 2 3 4 5 6 7 8 11 12 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127
       kControlCharacters)

# The reason goes out as one unwrapped line (FATAL_ERROR would re-flow it), then stops.
function(Fail text)
  file(REMOVE "${OUTPUT_FILE}" "${OUTPUT_FILE}.tmp")
  message(NOTICE "GenerateShipTables: ${text}")
  message(FATAL_ERROR "The ship and port tables were not generated.")
endfunction()

function(ReadCount header name out)
  if(NOT header MATCHES "${name} = ([0-9]+)")
    Fail("${HEADER_FILE} does not declare ${name}")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# The lines of a text file as a list, with the list-special characters masked.
function(ReadLines path out)
  if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
    Fail("cannot read ${path}")
  endif()
  file(READ "${path}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  if(text MATCHES "[${kControlCharacters}]")
    Fail("${path} contains a control character; only printable text, tabs and line ends are allowed")
  endif()
  string(REPLACE "\\" "${kBackslashMark}" text "${text}")
  string(REPLACE ";" "${kSemicolonMark}" text "${text}")
  string(REPLACE "[" "${kOpenBracketMark}" text "${text}")
  string(REPLACE "]" "${kCloseBracketMark}" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# A masked text as a C++ wide string literal. "?" is escaped so that no "??x" sequence
# can ever be read as a trigraph.
function(WideLiteral text out)
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "?" "\\?" text "${text}")
  string(REPLACE "${kBackslashMark}" "\\\\" text "${text}")
  string(REPLACE "${kSemicolonMark}" ";" text "${text}")
  string(REPLACE "${kOpenBracketMark}" "[" text "${text}")
  string(REPLACE "${kCloseBracketMark}" "]" text "${text}")
  set(${out} "L\"${text}\"" PARENT_SCOPE)
endfunction()

if(NOT EXISTS "${HEADER_FILE}")
  Fail("cannot read ${HEADER_FILE}")
endif()
file(READ "${HEADER_FILE}" header)
ReadCount("${header}" kShipCount expectedShips)
ReadCount("${header}" kPortCount expectedPorts)

# Ship rows.
ReadLines("${SHIPS_FILE}" shipLines)
set(tab "\t")
set(rowPattern "^([^${tab}]*)")
foreach(i RANGE 2 8)
  string(APPEND rowPattern "${tab}([^${tab}]*)")
endforeach()
string(APPEND rowPattern "$")

set(shipCode "")
set(shipCount 0)
set(lineNumber 0)
foreach(line IN LISTS shipLines)
  math(EXPR lineNumber "${lineNumber} + 1")
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  if(NOT line MATCHES "${rowPattern}")
    string(REGEX MATCHALL "${tab}" tabs "${line}")
    list(LENGTH tabs tabCount)
    math(EXPR columnCount "${tabCount} + 1")
    Fail("${SHIPS_FILE}:${lineNumber}: a ship row needs 8 tab-separated columns, this one has ${columnCount}")
  endif()
  set(fields "")
  foreach(column RANGE 1 8)
    WideLiteral("${CMAKE_MATCH_${column}}" literal)
    string(APPEND fields "${literal}, ")
  endforeach()
  string(REGEX REPLACE ", $" "" fields "${fields}")
  string(APPEND shipCode "    {${fields}},\n")
  math(EXPR shipCount "${shipCount} + 1")
endforeach()
if(NOT shipCount EQUAL expectedShips)
  Fail("${SHIPS_FILE} holds ${shipCount} ship rows, but kShipCount in ${HEADER_FILE} is ${expectedShips}")
endif()

# Port names.
ReadLines("${PORTS_FILE}" portLines)
set(portCode "")
set(portCount 0)
foreach(line IN LISTS portLines)
  if(line STREQUAL "")
    continue()
  endif()
  WideLiteral("${line}" literal)
  string(APPEND portCode "    ${literal},\n")
  math(EXPR portCount "${portCount} + 1")
endforeach()
if(NOT portCount EQUAL expectedPorts)
  Fail("${PORTS_FILE} holds ${portCount} port names, but kPortCount in ${HEADER_FILE} is ${expectedPorts}")
endif()

set(code "// Generated at build time from ships.tsv and ports.txt by GenerateShipTables.cmake.\n")
string(APPEND code "// Edit the data files, not this file.\n")
string(APPEND code "#include \"shipdata/ShipTables.h\"\n\n")
string(APPEND code "const ShipRecord g_ships[kShipCount] = {\n${shipCode}};\n\n")
string(APPEND code "const wchar_t* const g_ports[kPortCount] = {\n${portCode}};\n")

# Written aside and renamed, so a reader never sees half a table.
file(WRITE "${OUTPUT_FILE}.tmp" "${code}")
file(RENAME "${OUTPUT_FILE}.tmp" "${OUTPUT_FILE}")
