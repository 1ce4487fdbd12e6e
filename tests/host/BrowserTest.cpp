#include <gtest/gtest.h>

#include "host/base/RuntimeError.h"
#include "host/os/Browser.h"
#include "support/PageServer.h"

using host::os::Browser;
using host::os::BodyTextOfHtml;

namespace {

// Loads the address and waits until the browser is done.
void load(Browser& browser, const std::string& address) {
    browser.navigate(address);
    while (browser.readyState() != Browser::Complete) {
    }
}

}  // namespace

TEST(Browser, BodyTextLeavesOutMarkupScriptsAndStyles) {
    EXPECT_EQ(BodyTextOfHtml("<html><head><title>T</title></head><body><script>var a = '<b>';</script>"
                             "<style>p{}</style>a &lt;0&gt; &amp; &quot;b&quot;<br>c<p>d</p>e&#x141;&#243;&bogus;"
                             "<!-- note --></body><p>after</p></html>"),
              "a <0> & \"b\"\nc\nd\neŁó&bogus;");
    EXPECT_EQ(BodyTextOfHtml("no markup at all"), "no markup at all");
    EXPECT_EQ(BodyTextOfHtml("<body>cut <script>never closed"), "cut ");
}

TEST(Browser, ReadsThePageAfterItsScriptRan) {
    testsupport::PageServer server(
        "<html><body><script>var h = decodeURIComponent(location.hash.substring(1));"
        "document.body.appendChild(document.createTextNode('got: ' + h));</script></body></html>");
    Browser browser;
    EXPECT_THROW(browser.bodyText(), host::RuntimeError);  // nothing loaded yet
    load(browser, server.address() + "#pl|en|Zażółć <0>");
    EXPECT_FALSE(browser.loadFailed());
    EXPECT_EQ(browser.bodyText(), "got: pl|en|Zażółć <0>");
    // The same object loads again.
    load(browser, server.address() + "#second");
    EXPECT_EQ(browser.bodyText(), "got: second");
    EXPECT_EQ(server.pageRequests(), 2);
}

TEST(Browser, APageThatCannotLoadIsAFailedLoad) {
    int port = 0;
    {
        testsupport::PageServer closed("");
        port = std::stoi(closed.address().substr(17));
    }
    Browser browser;
    load(browser, "http://127.0.0.1:" + std::to_string(port) + "/");
    EXPECT_TRUE(browser.loadFailed());
    try {
        (void)browser.bodyText();
        FAIL() << "a failed load has no body";
    } catch (const host::RuntimeError& e) {
        EXPECT_EQ(e.number(), 1004);
    }
}
