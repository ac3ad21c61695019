// Who may use the console: the checks every request passes before a route
// sees it. Pure functions of the request's headers, so that each is tested
// on its own; the server (console/server.cpp) applies them in order.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Where the console listens: the host as given ("127.0.0.1", "0.0.0.0",
// "::1", "rig.local") and the port it really has.
struct ListenAddress {
  std::string host;
  int port = 0;
};

// "localhost", "::1" or 127.x.y.z: an address only this machine reaches.
bool isLoopbackHost(const std::string& host);

// Equal tokens, in a time that depends on the lengths only (a wrong guess
// tells nothing about how much of it was right).
bool sameToken(std::string_view a, std::string_view b);

// The token a request carries: "Authorization: Bearer TOKEN" first, else
// the cookie "uploader_token"; "" when it carries none.
std::string requestToken(const std::string& authorization, const std::string& cookie);

// Whether a request's Host names this console: the listen address (its
// host and port), "localhost", a loopback address, or, when listening on
// every interface (0.0.0.0, ::), any numeric address of this port. A name
// that another site's DNS might point here (rebinding) is refused.
bool hostAllowed(const std::string& host, const ListenAddress& listen);

// Whether a state-changing request may go on: with no Origin (a script,
// curl) it may; from a browser, the Origin must be this console's own page
// (http:// and the same host and port as the request's Host).
bool originAllowed(const std::string& origin, const std::string& host);

enum class BodyCheck { fits, tooLarge, noLength, badLength };

// An upload's body, from its headers, before any of it is read: its
// Content-Length must be given (a chunked body is refused) and at most
// `limit` bytes.
BodyCheck checkBodyLength(const std::string& contentLength, bool chunked, std::size_t limit);
