# msi_make_package(TARGET OUTPUT IDT_DIR)
#
# Builds a package from a folder of .idt archive files (one table each;
# binary columns name files in a sub-folder called after the table). An
# optional file `streams.txt` in the folder lists extra streams, one
# "NAME FILE" pair a line, FILE relative to the folder. The package is
# rebuilt whenever anything in the folder changes.
set(MSI_PACKAGE_MAKER msibuild CACHE STRING "Program that turns .idt files into a package")

function(msi_make_package target output idt_dir)
  file(GLOB idts CONFIGURE_DEPENDS "${idt_dir}/*.idt")
  file(GLOB_RECURSE deps CONFIGURE_DEPENDS "${idt_dir}/*")
  list(SORT idts)
  set(stream_args)
  if(EXISTS "${idt_dir}/streams.txt")
    file(STRINGS "${idt_dir}/streams.txt" lines)
    foreach(line ${lines})
      if(line MATCHES "^([^ ]+) (.+)$")
        list(APPEND stream_args -a "${CMAKE_MATCH_1}" "${idt_dir}/${CMAKE_MATCH_2}")
      endif()
    endforeach()
  endif()
  get_filename_component(name "${output}" NAME_WE)
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E rm -f "${output}"
    COMMAND ${MSI_PACKAGE_MAKER} "${output}"
            -s "${name}" "Msi tools project" "Intel\;1033"
               "{8F6B2C4A-3D1E-4F5A-9B7C-0E1D2F3A4B5C}"
            -i ${idts} ${stream_args}
    DEPENDS ${deps}
    WORKING_DIRECTORY "${idt_dir}"
    COMMENT "Making package ${name}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${output}")
endfunction()
