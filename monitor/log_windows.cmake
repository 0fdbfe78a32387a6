# The air log window and the PLL setting dialog, as one library the main window links.
add_library(tavrel_log_windows STATIC
  ${CMAKE_CURRENT_LIST_DIR}/air_log_dlg.h
  ${CMAKE_CURRENT_LIST_DIR}/air_log_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pll_param_dlg.h
  ${CMAKE_CURRENT_LIST_DIR}/pll_param_dlg.cpp
)
target_include_directories(tavrel_log_windows PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tavrel_log_windows PUBLIC tavrel_app_ui tavrel_omlink Qt6::Widgets)
