# Read by CTest after the discovered tests of this folder (see CMakeLists.txt): the durability
# tests run hundreds of child processes and saves, so each gets a bound of its own, well under
# the default, so that a child that hangs fails its test quickly instead of holding up the run.
set(durability_tests
    SaveKillTest.KillsAtRandomLoseNoCommittedSave
    SaveKillTest.AFirstStartKilledAtEveryStepLeavesNothingOrEverything
    SaveKillTest.AKeepAsideKilledAtEveryStepLeavesTheOldFileOrTheWholeNewOne)
foreach(save OverwriteSlot NewSlot QuickSave)
  foreach(step write sync truncate journal_open delete)
    list(APPEND durability_tests
         Steps/SaveIoFaultTest.EveryFailingStepFailsTheSaveAndKeepsWhatWasCommitted/${save}_${step})
  endforeach()
endforeach()
set_tests_properties(${durability_tests} PROPERTIES TIMEOUT 120)
