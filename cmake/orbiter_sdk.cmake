# Checks that a folder is an Orbiter SDK (an Orbitersdk folder) and tells
# which line it belongs to: 2016 headers have no OAPI_MSGTYPE, 2024 ones do.
function(lobarc_orbiter_sdk_version dir out)
  set(missing "")
  foreach(header OrbiterAPI.h VesselAPI.h MFDAPI.h)
    if(NOT EXISTS "${dir}/include/${header}")
      list(APPEND missing "include/${header}")
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "ORBITER_SDK: '${dir}' is not an Orbitersdk folder: expected "
                        "include/OrbiterAPI.h, include/VesselAPI.h and include/MFDAPI.h in it, "
                        "missing ${missing}. Point ORBITER_SDK at the Orbitersdk folder of an "
                        "Orbiter installation, or leave it empty to build against host/.")
  endif()
  file(STRINGS "${dir}/include/OrbiterAPI.h" msgtype REGEX "define OAPI_MSGTYPE")
  if(msgtype)
    set(${out} 2024 PARENT_SCOPE)
  else()
    set(${out} 2016 PARENT_SCOPE)
  endif()
endfunction()
