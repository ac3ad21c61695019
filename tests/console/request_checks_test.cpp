// The checks every request to the console passes: the token, the Host (no
// DNS rebinding), the Origin of what changes state, an upload's length.
#include "console/request_checks.h"

#include <gtest/gtest.h>

namespace {

const ListenAddress kLoopback{"127.0.0.1", 8417};
const ListenAddress kEverywhere{"0.0.0.0", 8417};

TEST(ConsoleToken, OnlyTheWholeTokenMatches) {
  EXPECT_TRUE(sameToken("a1b2c3", "a1b2c3"));
  EXPECT_FALSE(sameToken("a1b2c3", "a1b2c4"));
  EXPECT_FALSE(sameToken("a1b2c3", "a1b2c"));    // a prefix
  EXPECT_FALSE(sameToken("a1b2c3", "a1b2c33"));  // longer
  EXPECT_FALSE(sameToken("", ""));               // no token is never a token
  EXPECT_FALSE(sameToken("x", ""));
}

TEST(ConsoleToken, ComesFromBearerOrTheCookie) {
  EXPECT_EQ(requestToken("Bearer abc", ""), "abc");
  EXPECT_EQ(requestToken("", "theme=dark; uploader_token=xyz; other=1"), "xyz");
  EXPECT_EQ(requestToken("", "uploader_token=xyz"), "xyz");
  EXPECT_EQ(requestToken("Bearer abc", "uploader_token=xyz"), "abc");
  EXPECT_EQ(requestToken("Basic abc", ""), "");
  EXPECT_EQ(requestToken("", "not_uploader_token=xyz"), "");
  EXPECT_EQ(requestToken("", "x_uploader_token=xyz; y=1"), "");
}

TEST(ConsoleHost, TheListenAddressAndLoopbackNamesOnly) {
  EXPECT_TRUE(hostAllowed("127.0.0.1:8417", kLoopback));
  EXPECT_TRUE(hostAllowed("localhost:8417", kLoopback));
  EXPECT_TRUE(hostAllowed("LOCALHOST:8417", kLoopback));
  EXPECT_TRUE(hostAllowed("[::1]:8417", kLoopback));
  // A name another site's DNS may point here.
  EXPECT_FALSE(hostAllowed("rebound.example:8417", kLoopback));
  EXPECT_FALSE(hostAllowed("localhost.rebound.example:8417", kLoopback));
  EXPECT_FALSE(hostAllowed("127.0.0.1.nip.io:8417", kLoopback));
  // Another port, no port (80), nothing, junk.
  EXPECT_FALSE(hostAllowed("127.0.0.1:8418", kLoopback));
  EXPECT_FALSE(hostAllowed("127.0.0.1", kLoopback));
  EXPECT_FALSE(hostAllowed("", kLoopback));
  EXPECT_FALSE(hostAllowed("127.0.0.1:84x7", kLoopback));
  EXPECT_FALSE(hostAllowed("127.0.0.1:8417:1", kLoopback));
}

TEST(ConsoleHost, OnEveryInterfaceAnyNumericAddressButNoName) {
  EXPECT_TRUE(hostAllowed("192.168.1.20:8417", kEverywhere));
  EXPECT_TRUE(hostAllowed("[fe80::1]:8417", kEverywhere));
  EXPECT_TRUE(hostAllowed("localhost:8417", kEverywhere));
  EXPECT_FALSE(hostAllowed("rig.example:8417", kEverywhere));
  EXPECT_FALSE(hostAllowed("192.168.1:8417", kEverywhere));
  EXPECT_FALSE(hostAllowed("192.168.1.20:8080", kEverywhere));
  // Listening on one address of the network: that address, by number or as given.
  const ListenAddress lan{"192.168.1.20", 8417};
  EXPECT_TRUE(hostAllowed("192.168.1.20:8417", lan));
  EXPECT_FALSE(hostAllowed("192.168.1.21:8417", lan));
  const ListenAddress named{"rig.local", 8417};
  EXPECT_TRUE(hostAllowed("rig.local:8417", named));
}

TEST(ConsoleHost, LoopbackIsANumberOrLocalhost) {
  EXPECT_TRUE(isLoopbackHost("127.0.0.1"));
  EXPECT_TRUE(isLoopbackHost("127.1.2.3"));
  EXPECT_TRUE(isLoopbackHost("::1"));
  EXPECT_TRUE(isLoopbackHost("LocalHost"));
  EXPECT_FALSE(isLoopbackHost("0.0.0.0"));
  EXPECT_FALSE(isLoopbackHost("127.0.0.1.nip.io"));
  EXPECT_FALSE(isLoopbackHost("192.168.1.20"));
}

TEST(ConsoleOrigin, OnlyThePageItselfOrNoBrowser) {
  EXPECT_TRUE(originAllowed("", "127.0.0.1:8417"));  // curl, a script
  EXPECT_TRUE(originAllowed("http://127.0.0.1:8417", "127.0.0.1:8417"));
  EXPECT_TRUE(originAllowed("http://LOCALHOST:8417", "localhost:8417"));
  EXPECT_FALSE(originAllowed("http://evil.example", "127.0.0.1:8417"));
  EXPECT_FALSE(originAllowed("http://127.0.0.1:9999", "127.0.0.1:8417"));
  EXPECT_FALSE(originAllowed("https://127.0.0.1:8417", "127.0.0.1:8417"));
  EXPECT_FALSE(originAllowed("null", "127.0.0.1:8417"));  // a file:// page, a sandbox
  EXPECT_FALSE(originAllowed("http://127.0.0.1:8417.evil.example", "127.0.0.1:8417"));
}

TEST(ConsoleBody, LengthGivenAndWithinTheLimit) {
  EXPECT_EQ(checkBodyLength("100", false, 100), BodyCheck::fits);
  EXPECT_EQ(checkBodyLength("0", false, 100), BodyCheck::fits);
  EXPECT_EQ(checkBodyLength("101", false, 100), BodyCheck::tooLarge);
  EXPECT_EQ(checkBodyLength("99999999999999999999999", false, 100), BodyCheck::tooLarge);
  EXPECT_EQ(checkBodyLength("", false, 100), BodyCheck::noLength);
  EXPECT_EQ(checkBodyLength("10", true, 100), BodyCheck::noLength);  // chunked: no length to trust
  EXPECT_EQ(checkBodyLength("-1", false, 100), BodyCheck::badLength);
  EXPECT_EQ(checkBodyLength("10 ", false, 100), BodyCheck::badLength);
  EXPECT_EQ(checkBodyLength("0x10", false, 100), BodyCheck::badLength);
}

}  // namespace
