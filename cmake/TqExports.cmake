# Export control of the shared libraries.
#
# Visibility is hidden by default and TQAPI marks the exported C names. The
# standard library, however, declares its templates with default visibility,
# so their instantiations (std::vector<...>::_M_realloc_insert, typeinfo of
# exception types, ...) would still be exported as weak C++ symbols. A linker
# version script makes every mangled (C++) name local; C names are left
# alone, so the symbol-table test (tests/interface) still sees any C helper
# that was given default visibility without a declaration.
option(TQ_HIDE_CXX_SYMBOLS "Keep C++ symbols out of the dynamic symbol tables" ON)

set(TQ_CXX_LOCAL_MAP ${CMAKE_CURRENT_LIST_DIR}/hide-cxx.map)

function(tq_hide_cxx_symbols target)
  if(NOT TQ_HIDE_CXX_SYMBOLS)
    return()
  endif()
  target_link_options(${target} PRIVATE "LINKER:--version-script=${TQ_CXX_LOCAL_MAP}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${TQ_CXX_LOCAL_MAP})
endfunction()
