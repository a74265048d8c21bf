// SPDX-License-Identifier: GPL-3.0-or-later
// The pages' data requests (app:///Request/NAME?guid=GUID&...), answered in the player page as
// the event "response:GUID". A new request is a name in BridgeNames.h, one handler in
// DataRequests.cpp and its row in the table there.
#pragma once

#include <QString>

#include "BridgeContext.h"
#include "BridgeTable.h"

namespace lirra {

using RequestHandler = void (*)(BridgeContext& context, const QString& guid);

// Every request. The four values the player reports later (duration, audio tracks, speed,
// volume) wait on their Deferreds of the application state: a request made before the first
// launch is never answered, and a waiting reply outlives the bridge (it holds only the views).
BridgeTable<RequestHandler> dataRequests();

// Triggers "response:GUID" with the value (a JavaScript expression) in the player page;
// dropped while there is no player page.
void returnJsResultToClient(BridgeViews& views, const QString& value, const QString& guid);

}  // namespace lirra
