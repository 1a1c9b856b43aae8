# SPDX-License-Identifier: MIT
# Run by `cmake --install` (the prefix is known only then, and may differ from
# the configured one): writes the menu entry naming the installed program by
# its absolute path, so it starts also when bin/ is not on PATH.
# In: GLYPHOR_ENTRY_IN, GLYPHOR_ENTRY_OUT, GLYPHOR_BINDIR; CMAKE_INSTALL_PREFIX.
if(IS_ABSOLUTE "${GLYPHOR_BINDIR}")
  set(program "${GLYPHOR_BINDIR}/glyphor")
else()
  set(program "${CMAKE_INSTALL_PREFIX}/${GLYPHOR_BINDIR}/glyphor")
endif()
if(program MATCHES "%")
  # GLib cannot start a program whose path holds a percent sign.
  message(FATAL_ERROR "The install path ${program} holds a '%', which desktop entries cannot name.")
endif()

# An Exec argument with a reserved character is quoted, with ", `, $ and \
# escaped inside; then the value's own escape doubles every backslash.
set(exec "${program}")
if(exec MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
foreach(var IN ITEMS exec program)
  string(REPLACE "\\" "\\\\" ${var} "${${var}}")
  string(REPLACE "\t" "\\t" ${var} "${${var}}")
  string(REPLACE "\n" "\\n" ${var} "${${var}}")
endforeach()
set(GLYPHOR_EXEC "${exec}")
set(GLYPHOR_TRY_EXEC "${program}")
configure_file("${GLYPHOR_ENTRY_IN}" "${GLYPHOR_ENTRY_OUT}" @ONLY)
