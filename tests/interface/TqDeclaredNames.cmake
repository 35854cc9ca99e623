# tq_declared_names(<out-var> COMPILER <cc> [FLAGS <flag>...] INCLUDE_DIRS <dir>...
#                   WORK_DIR <dir> HEADERS <header>...)
#
# The names the given headers declare for export, sorted and without
# duplicates. The headers go through the C preprocessor, so declarations
# produced by macros (the flag tables' X-macros) count like written ones;
# only text that comes from the given headers is read (line markers tell),
# not what they include from elsewhere. TQAPI has expanded to the default-
# visibility attribute there, which marks an exported declaration.
#
# Each statement (split at ';', '{' and '}') holding the marker yields the
# name it declares: for a function the identifier before its parameter list,
# for a function pointer the name inside "(*name)", for variables every
# declarator's name (array bounds and initialisers dropped). Other
# __attribute__((...)) are skipped.

# Removes __attribute__ followed by its balanced parentheses.
function(_tq_strip_attributes text out)
  while(1)
    string(FIND "${text}" "__attribute__" at)
    if(at EQUAL -1)
      break()
    endif()
    string(SUBSTRING "${text}" 0 ${at} head)
    math(EXPR pos "${at} + 13")
    string(LENGTH "${text}" len)
    set(depth 0)
    while(pos LESS len)
      string(SUBSTRING "${text}" ${pos} 1 c)
      math(EXPR pos "${pos} + 1")
      if(c STREQUAL "(")
        math(EXPR depth "${depth} + 1")
      elseif(c STREQUAL ")")
        math(EXPR depth "${depth} - 1")
        if(depth EQUAL 0)
          break()
        endif()
      endif()
    endwhile()
    string(SUBSTRING "${text}" ${pos} -1 tail)
    set(text "${head} ${tail}")
  endwhile()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Names of the marked declarations in preprocessed text ('[', ']' and ';'
# already replaced by '<', '>' and @SEMI@).
function(_tq_names_from_text text out)
  set(names "")
  string(REGEX REPLACE
         "__attribute__ *\\( *\\( *visibility *\\( *\"default\" *\\) *\\) *\\)"
         " @EXPORTED@ " text "${text}")
  string(REGEX REPLACE "[\n\t\r]" " " text "${text}")
  string(REGEX REPLACE "[{}]" "@SEMI@" text "${text}")
  string(REPLACE "@SEMI@" ";" statements "${text}")
  foreach(stmt IN LISTS statements)
    string(FIND "${stmt}" "@EXPORTED@" at)
    if(at EQUAL -1)
      continue()
    endif()
    string(REPLACE "@EXPORTED@" " " decl "${stmt}")
    _tq_strip_attributes("${decl}" decl)
    string(PREPEND decl " ")
    if(decl MATCHES "^[^(]*\\([ ]*\\*[ ]*([A-Za-z_][A-Za-z0-9_]*)[ ]*\\)")
      list(APPEND names "${CMAKE_MATCH_1}")        # function pointer variable
    elseif(decl MATCHES "^[^(]*[^A-Za-z0-9_(]([A-Za-z_][A-Za-z0-9_]*)[ ]*\\(")
      list(APPEND names "${CMAKE_MATCH_1}")        # function
    else()
      string(REGEX REPLACE "=[^,]*" "" decl "${decl}")   # initialisers
      string(REGEX REPLACE "<[^>]*>" "" decl "${decl}")  # array bounds
      string(REPLACE "," ";" declarators "${decl}")
      foreach(d IN LISTS declarators)
        if(d MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ ]*$")
          list(APPEND names "${CMAKE_MATCH_1}")
        endif()
      endforeach()
    endif()
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

function(tq_declared_names out)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "COMPILER;WORK_DIR" "FLAGS;INCLUDE_DIRS;HEADERS")
  set(wanted "")
  set(tu "/* every header under test */\n")
  foreach(h IN LISTS arg_HEADERS)
    get_filename_component(real "${h}" REALPATH)
    list(APPEND wanted "${real}")
    string(APPEND tu "#include \"${real}\"\n")
  endforeach()
  file(MAKE_DIRECTORY "${arg_WORK_DIR}")
  string(MD5 tag "${arg_HEADERS}")
  set(tu_file "${arg_WORK_DIR}/declared_${tag}.c")
  file(WRITE "${tu_file}" "${tu}")
  set(incs "")
  foreach(d IN LISTS arg_INCLUDE_DIRS)
    list(APPEND incs "-I${d}")
  endforeach()
  execute_process(COMMAND "${arg_COMPILER}" ${arg_FLAGS} -std=c99 -E ${incs} "${tu_file}"
                  OUTPUT_VARIABLE pp ERROR_VARIABLE err RESULT_VARIABLE rc)
  file(REMOVE "${tu_file}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "preprocessing the headers failed:\n${err}")
  endif()

  # Characters that CMake's list syntax would interpret.
  string(REPLACE "[" "<" pp "${pp}")
  string(REPLACE "]" ">" pp "${pp}")
  string(REPLACE ";" "@SEMI@" pp "${pp}")
  string(REPLACE "\n" ";" lines "${pp}")
  set(keep FALSE)
  set(text "")
  set(seen_files "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^# [0-9]+ \"([^\"]*)\"")
      set(file "${CMAKE_MATCH_1}")
      string(MAKE_C_IDENTIFIER "${file}" key)
      if(NOT DEFINED _real_${key})
        get_filename_component(_real_${key} "${file}" REALPATH BASE_DIR "${arg_WORK_DIR}")
      endif()
      if(_real_${key} IN_LIST wanted)
        set(keep TRUE)
      else()
        set(keep FALSE)
      endif()
    elseif(keep)
      string(APPEND text "${line}\n")
    endif()
  endforeach()
  _tq_names_from_text("${text}" names)
  list(REMOVE_DUPLICATES names)
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()
