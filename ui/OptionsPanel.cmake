# The Options panel widget; its logic lives in folderly_options.
add_library(folderly_options_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/OptionsPanel.h ${CMAKE_CURRENT_LIST_DIR}/OptionsPanel.cpp
)
target_include_directories(folderly_options_ui PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(folderly_options_ui PUBLIC Qt6::Widgets folderly_options)
