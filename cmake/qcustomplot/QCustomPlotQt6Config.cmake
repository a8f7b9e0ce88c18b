# The static QCustomPlot for Windows (cmake/qcustomplot/CMakeLists.txt): the target
# QCustomPlotQt6::QCustomPlotQt6, with the Qt modules it draws through
# (Qt Gui's package holds Qt6::GuiPrivate as well).
include(CMakeFindDependencyMacro)
find_dependency(Qt6 COMPONENTS Widgets PrintSupport)
include("${CMAKE_CURRENT_LIST_DIR}/QCustomPlotQt6Targets.cmake")
