// Cross-site form posts: the pages change what the service runs as root at
// a power failure, so a form that a page of another site makes the user's
// logged-in browser post must not be applied.
#pragma once

#include "cgi/request.h"

namespace orvik {

// True when the request's Origin (or, without one, its Referer) names
// another site than the Host the request was sent to. A request without
// either header, as from a command-line client, is not refused; a Referer
// that names no site (or the Origin "null") is.
bool fromAnotherSite(const GetVariable& variable);

}  // namespace orvik
