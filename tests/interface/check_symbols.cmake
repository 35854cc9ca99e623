cmake_minimum_required(VERSION 3.25)
# Compares the dynamic symbols LIBRARY defines with the names that <NAME>.h
# and <NAME>/*.h (found in INCLUDE_DIRS) declare with TQAPI, both ways:
# nothing leaks, nothing is missing. The headers go through the C
# preprocessor, so X-macro declarations count; only text from those headers
# is read (line markers tell). A marked statement declares the identifier
# before its first "(" (a function), or else its last identifier (a variable).
foreach(dir IN LISTS INCLUDE_DIRS)
  if(EXISTS ${dir}/${NAME}.h)
    file(GLOB headers ${dir}/${NAME}.h ${dir}/${NAME}/*.h)
    set(own "${dir}/${NAME}")
  endif()
endforeach()
list(TRANSFORM headers REPLACE "(.+)" "#include \"\\1\"\n")
file(WRITE ${WORK_DIR}/${NAME}_headers.c ${headers})
list(TRANSFORM INCLUDE_DIRS PREPEND -I)
execute_process(COMMAND ${CC} ${FLAGS} -std=c99 -E ${INCLUDE_DIRS} ${WORK_DIR}/${NAME}_headers.c
                OUTPUT_VARIABLE pp COMMAND_ERROR_IS_FATAL ANY)
# Statements end at ";", "{" and "}" (made "@"); array bounds go, so that no
# bracket disturbs CMake's lists.
string(REGEX REPLACE "[;{}]" "@" pp "${pp}")
string(REGEX REPLACE "\\[[^]]*\\]" "" pp "${pp}")
string(REPLACE "\n" ";" lines "${pp}")
set(text "")
foreach(line IN LISTS lines)
  if(line MATCHES "^# [0-9]+ \"([^\"]*)\"")
    string(FIND "${CMAKE_MATCH_1}" "${own}" at)
  elseif(at EQUAL 0)
    string(APPEND text " ${line}")
  endif()
endforeach()
string(REGEX REPLACE "__attribute__ *\\(\\( *visibility *\\( *\"default\" *\\) *\\) *\\)"
       " TQ_MARK " text "${text}")
string(REGEX MATCHALL " TQ_MARK [^(@]*" declared "${text}")
list(TRANSFORM declared REPLACE "^.*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*) *$" "\\1")

# "<address> <type> <name>[@version]": absolute symbols (_end, _edata) and
# the ELF init/fini entries belong to every shared object, and the
# AddressSanitizer gives each exported global a "__odr_asan.<name>".
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE out
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[0-9a-f]+ [B-Zb-z] [^ @\n]+" exported "${out}")
list(TRANSFORM exported REPLACE "^.* " "")
list(FILTER exported EXCLUDE REGEX "^_(init|fini)$")
foreach(name IN LISTS declared)
  list(REMOVE_ITEM exported "__odr_asan.${name}")
endforeach()
set(leaked ${exported})
set(missing ${declared})
if(declared AND exported)
  list(REMOVE_ITEM leaked ${declared})
  list(REMOVE_ITEM missing ${exported})
endif()
if(leaked OR missing OR NOT declared OR NOT exported)
  message(FATAL_ERROR "${NAME} exports names its headers do not declare: ${leaked}\n"
                      "${NAME} does not export names its headers declare: ${missing}")
endif()
list(LENGTH declared n)
message(STATUS "${NAME}: exactly the ${n} declared names are exported")
