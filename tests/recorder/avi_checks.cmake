# Under Wine: avi_output_wintest leaves finished direct-AVI recordings in
# avi_out/, and check_avi.sh reads them back with the Linux ffprobe, a reader
# that shares nothing with the writer.
if(VIDORRA_WIN32 AND TARGET avi_output_wintest)
  set(_avi_out ${CMAKE_CURRENT_BINARY_DIR}/avi_out)
  target_compile_definitions(avi_output_wintest PRIVATE AVI_OUT_DIR="${_avi_out}")
  set_tests_properties(avi_output_wintest PROPERTIES FIXTURES_SETUP direct_avi_files)
  add_test(NAME avi_output_ffprobe COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_avi.sh ${_avi_out})
  set_tests_properties(avi_output_ffprobe PROPERTIES FIXTURES_REQUIRED direct_avi_files)
endif()
