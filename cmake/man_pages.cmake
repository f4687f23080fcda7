# Fills in the manual pages with the configured paths. Used by the build
# (man/CMakeLists.txt) and by the check that formats them under a deep
# prefix (cmake/check_man_pages.cmake).

# A path as roff text that can break across lines: a break point (\:, which
# prints nothing) after every slash and after every 20 characters of a name,
# so that no prefix is too long for a line, and no hyphen added where it
# breaks (\%). A minus and a backslash are escaped so that they print as
# themselves.
function(ovarn_roff_path path out)
  # The break points are marked first and written last, so that the
  # escaping leaves them alone.
  string(ASCII 1 mark)
  string(REPEAT "[^/]" 20 twenty)
  string(REGEX REPLACE "(${twenty})" "\\1${mark}" text "${path}")
  string(REPLACE "/" "/${mark}" text "${text}")
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REPLACE "${mark}" "\\:" text "${text}")
  set(${out} "\\%${text}" PARENT_SCOPE)
endfunction()

# Writes ovarn.1 and ovarnh.1 from their .in files in source_dir into
# out_dir, with OVARN_PROGRAM_PATH, OVARN_HELPER_PATH, OVARN_PAGER_PATH and
# PROJECT_VERSION as the caller has them.
function(ovarn_configure_man_pages source_dir out_dir)
  foreach(name IN ITEMS OVARN_PROGRAM_PATH OVARN_HELPER_PATH OVARN_PAGER_PATH)
    ovarn_roff_path("${${name}}" ${name})
  endforeach()
  foreach(page IN ITEMS ovarn.1 ovarnh.1)
    configure_file(${source_dir}/${page}.in ${out_dir}/${page} @ONLY)
  endforeach()
endfunction()
