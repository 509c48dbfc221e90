#pragma once
// A slider of the parameter table: its label, range and format from the
// table; a move runs the control's whole hand-over (CUSTOM where the table
// says so, the engine, the config, the save).

#include <initializer_list>

#include "app/shell_state.h"
#include "engine/parameters.h"
#include "persistence/app_config.h"

// The tooltip is shown as it is. True in a frame the value moved.
bool ParamSlider(ShellState& shell, Param p, const char* tooltip = nullptr);
// A switch of the table flipped by hand, kept and saved.
void FlipSwitch(ShellState& shell, Param p);
// The width that leaves room beside the sliders for the widest of their
// labels, but never less than 40 % of the column.
float SliderWidth(std::initializer_list<Param> params);
// A collapsible panel's header, open as the config left it at the start of
// the run; a change is kept for the next start. True while open.
bool PanelHeader(const char* label, bool AppConfig::*flag);
