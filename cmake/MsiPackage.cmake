# msi_make_package(TARGET OUTPUT IDT_DIR)
#
# Builds a package with the project's own writer (msisql --import) from a
# folder of .idt archive files (one table each; binary columns name files
# in a sub-folder called after the table). An optional file `streams.txt`
# in the folder lists extra streams, one "NAME FILE" pair a line, FILE
# relative to the folder. The package is rebuilt whenever anything in the
# folder changes.
function(msi_make_package target output idt_dir)
  file(GLOB idts CONFIGURE_DEPENDS "${idt_dir}/*.idt")
  file(GLOB_RECURSE deps CONFIGURE_DEPENDS "${idt_dir}/*")
  list(SORT idts)
  # The codepage must be set before any text arrives.
  list(FILTER idts EXCLUDE REGEX "/_ForceCodepage\\.idt$")
  if(EXISTS "${idt_dir}/_ForceCodepage.idt")
    list(INSERT idts 0 "${idt_dir}/_ForceCodepage.idt")
  endif()
  if(EXISTS "${idt_dir}/streams.txt")
    # Extra streams travel as rows of _Streams in an archive of their own.
    set(gen "${output}.streams")
    file(REMOVE_RECURSE "${gen}")
    file(MAKE_DIRECTORY "${gen}/_Streams")
    set(idt "Name\tData\r\ns62\tV0\r\n_Streams\tName\r\n")
    file(STRINGS "${idt_dir}/streams.txt" lines)
    set(n 0)
    foreach(line ${lines})
      if(line MATCHES "^([^ ]+) (.+)$")
        math(EXPR n "${n} + 1")
        configure_file("${idt_dir}/${CMAKE_MATCH_2}" "${gen}/_Streams/stream${n}" COPYONLY)
        string(APPEND idt "${CMAKE_MATCH_1}\tstream${n}\r\n")
      endif()
    endforeach()
    file(WRITE "${gen}/_Streams.idt" "${idt}")
    list(APPEND idts "${gen}/_Streams.idt")
  endif()
  get_filename_component(name "${output}" NAME_WE)
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E rm -f "${output}"
    COMMAND msisql --import "${output}" ${idts}
    DEPENDS ${deps} msisql
    WORKING_DIRECTORY "${idt_dir}"
    COMMENT "Making package ${name}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${output}")
endfunction()
