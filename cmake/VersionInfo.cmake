# Embeds a version-information block in a library or executable of ours: a
# named ELF section ".verinfo" holding the string table "040904E4" as
# NUL-separated key/value pairs (see platform/VersionInfo.h for the layout).
set(ONDRIK_COMPANY "Pollark Systems")
set(ONDRIK_PRODUCT "Ondrik Vehicle Identification")
set(ONDRIK_COPYRIGHT "Copyright (C) 2026 Pollark Systems")

function(_ondrik_c_escape out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# ondrik_version_info(<target> "<file description>")
function(ondrik_version_info target description)
  get_target_property(type ${target} TYPE)
  get_target_property(outname ${target} OUTPUT_NAME)
  if(NOT outname)
    set(outname ${target})
  endif()
  if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    set(filename "lib${outname}.so")
  else()
    set(filename "${outname}")
  endif()
  set(pairs
    CompanyName "${ONDRIK_COMPANY}"
    FileDescription "${description}"
    FileVersion "${PROJECT_VERSION}.0"
    InternalName "${outname}"
    LegalCopyright "${ONDRIK_COPYRIGHT}"
    LegalTradeMarks ""
    OriginalFilename "${filename}"
    ProductName "${ONDRIK_PRODUCT}"
    ProductVersion "${PROJECT_VERSION}"
    Comments "${PROJECT_DESCRIPTION}")
  # Each NUL is a literal of its own, so a value starting with a digit
  # cannot extend the escape.
  set(body "\"VERINFO1\" \"\\0\" \"StringFileInfo\\\\040904E4\" \"\\0\"\n")
  list(LENGTH pairs n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET pairs ${i} key)
    list(GET pairs ${j} value)
    _ondrik_c_escape(value "${value}")
    string(APPEND body "    \"${key}\" \"\\0\" \"${value}\" \"\\0\"\n")
  endforeach()
  set(src ${CMAKE_CURRENT_BINARY_DIR}/${target}_verinfo.c)
  file(CONFIGURE OUTPUT ${src} CONTENT
"/* Generated: version information of ${filename}. */
__attribute__((section(\".verinfo\"), used, aligned(1)))
static const char ondrik_verinfo[] =
    ${body};
" @ONLY)
  target_sources(${target} PRIVATE ${src})
endfunction()
