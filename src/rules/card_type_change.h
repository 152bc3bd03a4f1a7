#pragma once
// The daily card-type change job: for every card type (in ascending level, whatever its state)
// and every account rule of it with a downward move, the cards inactive during the year before
// today 00:00 move to the rule's downMember card type. The whole run is one transaction: a
// regulation that cannot be read, or a failing statement, rolls every change of the run back and
// raises an Exception with the message of the error. A disabled account rule moves cards too.

#include <cstdint>

#include "platform/clock.h"

namespace ab {

class BaseService;

// Runs the job in `scope`'s transaction; returns the number of cards selected for a move, 0
// (and no change) when the card types cannot be listed.
int32_t AutoChangeCardTypes(BaseService& scope, const Clock& clock);

}  // namespace ab
