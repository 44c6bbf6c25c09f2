# vidorra_forms(TARGET layout...): compiles form layouts (forms/*.vfm, UTF-8
# text) into TARGET's resources. Each layout becomes an RCDATA resource named
# after its file name in upper case (the form class: TWaitForm.vfm ->
# TWAITFORM), which TForm::LoadLayout finds at run time. windres is run
# directly into a COFF object, so no project needs the RC language enabled.
include_guard(GLOBAL)

function(vidorra_forms target)
  if(NOT VIDORRA_WIN32)
    return()
  endif()
  if(CMAKE_RC_COMPILER)
    set(_windres ${CMAKE_RC_COMPILER})
  else()
    set(_windres i686-w64-mingw32-windres)
  endif()
  set(_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_forms)
  set(_rc ${_dir}/forms.rc)
  set(_obj ${_dir}/forms.res.obj)
  set(_lines "")
  set(_deps "")
  foreach(layout ${ARGN})
    get_filename_component(_abs ${layout} ABSOLUTE)
    get_filename_component(_name ${layout} NAME_WE)
    string(TOUPPER ${_name} _res)
    # windres reads the path inside a quoted string: forward slashes only.
    file(TO_CMAKE_PATH ${_abs} _path)
    string(APPEND _lines "${_res} RCDATA \"${_path}\"\n")
    list(APPEND _deps ${_abs})
  endforeach()
  file(MAKE_DIRECTORY ${_dir})
  file(GENERATE OUTPUT ${_rc} CONTENT "${_lines}")
  add_custom_command(
    OUTPUT ${_obj}
    COMMAND ${_windres} -O coff -i ${_rc} -o ${_obj}
    DEPENDS ${_rc} ${_deps}
    COMMENT "Form layouts of ${target}"
    VERBATIM)
  set_source_files_properties(${_obj} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${_obj})
endfunction()
