# Installs the build into a temporary prefix and runs a host lookup from
# there, headless: the installed program folder must work on its own.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -P InstallTest.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/windows)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "install failed: ${errors}")
endif()
foreach(file Ondrik libYarvel.so libxbase.so libplatform.so Data/Yarvel.dbf Data/Yarvel.cdx)
  if(NOT EXISTS ${WORK_DIR}/prefix/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
if(EXISTS ${WORK_DIR}/prefix/Data/Ondrik.dat)
  message(FATAL_ERROR "an output data file was installed")
endif()
# Without a display, with a Windows directory of its own.
execute_process(COMMAND env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM
                        WINDIR=${WORK_DIR}/windows LC_ALL=C
                        ${WORK_DIR}/prefix/Ondrik /VIN=1FTTF18A55A123456
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Ondrik exited with ${status}: ${err}")
endif()
file(READ ${WORK_DIR}/prefix/Data/Ondrik.dat data)
# Compared as bytes: reading text drops the carriage returns.
file(READ ${WORK_DIR}/prefix/Data/Ondrik.dat bytes HEX)
string(HEX "[VehicleProperties]\r\nModelYear=2005\r\nMake=Ford\r\n" expected)
string(FIND "${bytes}" "${expected}" at)
if(NOT at EQUAL 0)
  message(FATAL_ERROR "unexpected Ondrik.dat: ${data}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
