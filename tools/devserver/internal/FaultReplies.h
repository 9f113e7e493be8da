// How a fault reshapes a reply (delays and closed or cut connections are the transport's business
// and are handled by the server).
//
// wrongtypes keeps the reply's shape but gives every field the wrong JSON type: a string becomes
// an array holding it, a number an object {"value": n}, true/false the string "yes"/"no", null an
// empty object; record arrays (`listItems`, `listCate`, `listAd`, an array `info`) stay arrays
// whose records have their fields changed that way, followed by one string, one number, one null
// and one array in place of records. `status` keeps its value unless asked.
//
// array wraps the reply object in a one-element array; null is the JSON literal null.
//
// On a page or a picture, array, null, wrongtypes and status answer with the JSON body of that
// fault; malformed cuts the body in half; html and http answer with an HTML page.
#pragma once

#include "tools/devserver/Fault.h"
#include "tools/devserver/internal/Reply.h"

namespace dv::internal::devserver {

void applyFault(const dv::devserver::Fault& fault, Reply& reply);
// Whether applyFault changes a reply under `fault`: every fault but the transport's (delay, hold,
// close, cut).
bool reshapesReply(const dv::devserver::Fault& fault);
Json withWrongTypes(const Json& reply, bool includeStatus);

} // namespace dv::internal::devserver
