// The tree report page: escaping, number formats, the rows a tree becomes,
// and a sample page with hostile names that scripts/test-html.sh opens in a
// real browser.
#include "tools/htmlReport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qvt::ht::tool::CHtmlHead;
using qvt::ht::tool::CHtmlNode;
using qvt::ht::tool::CHtmlReport;
using qvt::ht::tool::formatAmount;
using qvt::ht::tool::htmlEscape;
using qvt::ht::tool::writeHtmlReport;

const std::string kFffd = "\xEF\xBF\xBD";

TEST(HtmlReport, EscapesMarkupAndRepairsBadText) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"a<b>&\"c\"'d'", "a&lt;b&gt;&amp;&quot;c&quot;&#39;d&#39;"},
        {"沪深300ETF «A» 😀", "沪深300ETF «A» 😀"},
        {std::string("nul\0x", 5), "nul" + kFffd + "x"},
        {"\xD6\xD0\xCE\xC4", kFffd + kFffd + kFffd + kFffd},  // GBK, not UTF-8
    };
    for (const auto& c : cases) EXPECT_EQ(c.out, htmlEscape(c.in)) << c.in;
}

TEST(HtmlReport, FormatsAmounts) {
    const struct {
        double in;
        const char* out;
    } cases[] = {
        {0.0, "0.00"},
        {999.996, "1,000.00"},
        {123456789012.25, "123,456,789,012.25"},
        {std::numeric_limits<double>::quiet_NaN(), "n/a"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.out, formatAmount(c.in)) << c.in;
}

// The rows of a page, one line each: depth, path, count, whether it folds.
std::string rows(const std::string& page) {
    std::string out;
    for (std::size_t at = page.find("<tr data-depth="); at != std::string::npos;
         at = page.find("<tr data-depth=", at + 1)) {
        const std::string row = page.substr(at, page.find("</tr>", at) - at);
        auto attr = [&row](const std::string& name) {
            const std::size_t b = row.find(name + "=\"") + name.size() + 2;
            return row.substr(b, row.find('"', b) - b);
        };
        out += attr("data-depth") + " " + attr("data-path") + " " + attr("data-count") +
               (row.find("button") != std::string::npos ? " +" : "") + "\n";
    }
    return out;
}

TEST(HtmlReport, WritesOneRowPerNodeInPreOrder) {
    CHtmlHead head;
    head.title = "Book <1> & \"2\"";
    head.facts = {{"book", "a&b.csv"}};
    head.columns = {"MKT_VALUE", "QTY<x>"};
    std::ostringstream page;
    CHtmlReport report(page, head);
    report.addNode({0, "", "root", 7, {10.0, 1.0}});
    report.addNode({1, "A", "first", 5, {7.5}});
    report.addNode({3, "A1", "too deep: one below A", 5, {}});  // taken as depth 2
    report.addNode({1, "B", "B & <b>", 2, {2.5, 2.0}});
    report.addNode({2, "B1", "", 0, {}});
    report.addNode({-4, "C", "negative: depth 0", 0, {}});
    EXPECT_TRUE(report.finish());
    report.addNode({1, "late", "after finish", 1, {}});
    const std::string html = page.str();
    EXPECT_EQ(
        "0  7 +\n"
        "1 A 5 +\n"
        "2 A/A1 5\n"
        "1 B 2 +\n"
        "2 B/B1 0\n"
        "0  0\n",
        rows(html));
    EXPECT_NE(std::string::npos, html.find("<title>Book &lt;1&gt; &amp; &quot;2&quot;</title>"));
    EXPECT_NE(std::string::npos, html.find("<td>B &amp; &lt;b&gt;</td>"));
    // A node with fewer sums than columns gets empty cells, not garbage.
    EXPECT_NE(std::string::npos,
              html.find("<td class=\"n\">5</td><td class=\"n\">7.50</td><td class=\"n\"></td>"));
    EXPECT_EQ(std::string::npos, html.find("after finish"));
    EXPECT_EQ(html.size() - 8, html.rfind("</html>\n"));
}

// A page with names meant to break it, written where scripts/test-html.sh
// finds it (with --page and --expect) to be opened in a browser.
TEST(HtmlReport, WritesTheSamplePageForTheBrowserTest) {
    CHtmlHead head;
    head.title = "Sample <tree> & \"report\"";
    head.facts = {{"rows", "7"}, {"note", "</script><script>document.title='owned'</script>"}};
    head.columns = {"MKT_VALUE"};
    std::vector<CHtmlNode> nodes = {
        {0, "SAMPLE", "样例树", 1240, {1.0e9}},
        {1, "A1", "自营权益投资 <script>alert(1)</script>", 1000, {8.0e8}},
        {2, "0101", "沪市主板股票 \"quoted\" & 'single'", 600, {5.0e8}},
        {3, "01", "金融", 600, {5.0e8}},
        {2, "0102", "科创板股票", 400, {3.0e8}},
        {1, "A2", "Bank, Pudong & Co. <Ltd>", 240, {2.0e8}},
        {2, "xother", "", 240, {-1.5}},
        {1, "A3", "empty \xFF node", 0, {0.0}},
    };
    const std::string dir = ZU_ZOZOV_HTML_SAMPLE_DIR;
    std::ofstream page(dir + "/htmlReport_sample.html", std::ios::binary);
    ASSERT_TRUE(writeHtmlReport(page, head, nodes));
    std::ofstream expect(dir + "/htmlReport_sample.expect", std::ios::binary);
    expect << "# path\tcount\tname (what the browser must show)\n"
              "\t1240\t样例树\n"
              "A1\t1000\t自营权益投资 <script>alert(1)</script>\n"
              "A1/0101\t600\t沪市主板股票 \"quoted\" & 'single'\n"
              "A1/0101/01\t600\t金融\n"
              "A1/0102\t400\t科创板股票\n"
              "A2\t240\tBank, Pudong & Co. <Ltd>\n"
              "A2/xother\t240\t\n"
              "A3\t0\tempty \xEF\xBF\xBD node\n";
    ASSERT_TRUE(expect.good());
}

}  // namespace
