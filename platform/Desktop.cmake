# The desktop side of the layer: the notification area.
add_library(folderly_desktop STATIC
  ${CMAKE_CURRENT_LIST_DIR}/NotifyArea.h ${CMAKE_CURRENT_LIST_DIR}/NotifyArea.cpp
)
target_include_directories(folderly_desktop PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
find_package(Qt6 REQUIRED COMPONENTS DBus)
target_link_libraries(folderly_desktop PUBLIC Qt6::Widgets Qt6::DBus)
