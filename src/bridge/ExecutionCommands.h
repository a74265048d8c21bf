// SPDX-License-Identifier: GPL-3.0-or-later
// The pages' commands (app:///Execute/NAME?ARGUMENTS). A new command is a name in BridgeNames.h,
// one handler in ExecutionCommands.cpp and its row in the table there.
#pragma once

#include "BridgeContext.h"
#include "BridgeTable.h"
#include "BridgeUrl.h"

namespace lirra {

// The main window sizes the pages ask for.
inline constexpr double kTutorialContentHeight = 510;
inline constexpr double kPaymentContentWidth = 1105;
inline constexpr double kPaymentContentHeight = 570;

// A command reads its arguments leniently (ArgumentReadings.h): a missing one reads as "".
using CommandHandler = void (*)(BridgeContext& context, const BridgeArguments& arguments);

// Every command. Player commands do nothing while there is no player.
BridgeTable<CommandHandler> executionCommands();

}  // namespace lirra
