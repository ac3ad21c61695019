#include "console/request_checks.h"

#include <cctype>
#include <charconv>

namespace {

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "host:port" or "[v6]:port" split; false when the port is missing or no number.
bool splitHostPort(const std::string& text, std::string& host, int& port) {
  std::size_t colon = std::string::npos;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string::npos) return false;
    host = text.substr(1, close - 1);
    if (close + 1 == text.size()) {
      port = -1;
      return true;
    }
    if (text[close + 1] != ':') return false;
    colon = close + 1;
  } else {
    colon = text.rfind(':');
    if (colon != std::string::npos && text.find(':') != colon) return false;  // bare IPv6
    host = text.substr(0, colon);
    if (colon == std::string::npos) {
      port = -1;
      return true;
    }
  }
  const char* first = text.data() + colon + 1;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, port);
  return ec == std::errc() && end == last && first != last && port > 0 && port < 65536;
}

// A dotted IPv4 address or an IPv6 one: no name a DNS answer could move.
bool isNumeric(const std::string& host) {
  if (host.empty()) return false;
  if (host.find(':') != std::string::npos) {
    for (char c : host)
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    return true;
  }
  int dots = 0;
  for (char c : host) {
    if (c == '.')
      ++dots;
    else if (!std::isdigit(static_cast<unsigned char>(c)))
      return false;
  }
  return dots == 3;
}

bool loopbackName(const std::string& host) {
  // 127.x.y.z as a number: "127.0.0.1.nip.io" is a name a DNS answer could move.
  return host == "localhost" || host == "::1" || (host.rfind("127.", 0) == 0 && isNumeric(host));
}

}  // namespace

bool sameToken(std::string_view a, std::string_view b) {
  unsigned char differ = a.size() == b.size() ? 0 : 1;
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i]);
  // A difference in length is known from the lengths alone; nothing more leaks.
  return differ == 0 && !a.empty();
}

std::string requestToken(const std::string& authorization, const std::string& cookie) {
  const std::string bearer = "Bearer ";
  if (authorization.compare(0, bearer.size(), bearer) == 0)
    return authorization.substr(bearer.size());
  // "a=1; uploader_token=XYZ; b=2"
  std::size_t at = 0;
  while (at < cookie.size()) {
    while (at < cookie.size() && (cookie[at] == ' ' || cookie[at] == ';')) ++at;
    const std::size_t end = cookie.find(';', at);
    const std::string pair = cookie.substr(at, end == std::string::npos ? end : end - at);
    const std::string name = "uploader_token=";
    if (pair.compare(0, name.size(), name) == 0) return pair.substr(name.size());
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return "";
}

bool hostAllowed(const std::string& header, const ListenAddress& listen) {
  std::string host;
  int port = 0;
  if (!splitHostPort(lower(header), host, port)) return false;
  // A browser leaves the port out only for port 80.
  if (port == -1) port = 80;
  if (port != listen.port) return false;
  const std::string listened = lower(listen.host);
  if (host == listened || loopbackName(host)) return true;
  const bool everywhere = listened == "0.0.0.0" || listened == "::" || listened.empty();
  return everywhere && isNumeric(host);
}

bool originAllowed(const std::string& origin, const std::string& host) {
  if (origin.empty()) return true;
  return lower(origin) == "http://" + lower(host);
}

BodyCheck checkBodyLength(const std::string& contentLength, bool chunked, std::size_t limit) {
  if (chunked) return BodyCheck::noLength;
  if (contentLength.empty()) return BodyCheck::noLength;
  unsigned long long length = 0;
  const char* first = contentLength.data();
  const char* last = first + contentLength.size();
  const auto [end, ec] = std::from_chars(first, last, length);
  if (ec == std::errc::result_out_of_range) return BodyCheck::tooLarge;
  if (ec != std::errc() || end != last) return BodyCheck::badLength;
  return length > limit ? BodyCheck::tooLarge : BodyCheck::fits;
}

bool isLoopbackHost(const std::string& host) { return loopbackName(lower(host)); }
