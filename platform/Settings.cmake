# The Qt-based part of the platform layer: the settings store, the
# autostart entry and the locale's date and time formats.
add_library(folderly_settings STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SettingsStore.h ${CMAKE_CURRENT_LIST_DIR}/SettingsStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AutostartEntry.h ${CMAKE_CURRENT_LIST_DIR}/AutostartEntry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LocaleTime.h ${CMAKE_CURRENT_LIST_DIR}/LocaleTime.cpp
)
target_include_directories(folderly_settings PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(folderly_settings PUBLIC Qt6::Core folderly_platform)
