# One built-in hop flown with the aim that leads the body's rotation
# (lobarc fly HOP --aim-lead): it must arrive within MISS metres of the aim
# point with at most CORRECTIONS corrections and, where RATIO is given, a
# delta-v at most RATIO times the minimum-energy hop's.
execute_process(COMMAND ${LOBARC} fly ${HOP} --aim-lead --json
                OUTPUT_VARIABLE report RESULT_VARIABLE rc ERROR_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lobarc fly ${HOP} --aim-lead failed (exit ${rc}): run it by hand to see why")
endif()
string(JSON miss GET "${report}" miss_m)
string(JSON corrections GET "${report}" corrections)
string(JSON ratio GET "${report}" dv_ratio)
message(STATUS "${HOP} with the lead: miss ${miss} m, ${corrections} corrections, dv_ratio ${ratio}")
if(miss GREATER ${MISS})
  message(FATAL_ERROR "${HOP}: missed the aim point by ${miss} m, more than ${MISS} m")
endif()
if(corrections GREATER ${CORRECTIONS})
  message(FATAL_ERROR "${HOP}: ${corrections} corrections, more than ${CORRECTIONS}")
endif()
if(DEFINED RATIO)
  if(ratio GREATER ${RATIO})
    message(FATAL_ERROR "${HOP}: delta-v ratio ${ratio}, more than ${RATIO}")
  endif()
endif()
