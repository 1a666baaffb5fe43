// The generated book, the 50-group rule in its three forms (group expressions,
// SQL, hand-written C++) and the three-level tree.  See book.h.
#include "book.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string_view>
#include <unordered_map>

#include "support/fakeData.h"
#include "zu_zozov/acctRule.h"
#include "zu_zozov/group.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/propDic.h"

namespace bookbench {

namespace {

// ---- Deterministic randomness ---------------------------------------------

struct Weighted {
    const char* value;
    int weight;
};

class Rng {
  public:
    explicit Rng(std::uint32_t seed) : m_gen(seed) {}
    std::uint32_t next() { return static_cast<std::uint32_t>(m_gen()); }
    // In (0, 1).
    double uniform() { return (next() + 0.5) / 4294967296.0; }
    bool chance(double p) { return uniform() < p; }
    // Standard normal (Box-Muller on two uniforms).
    double normal() {
        const double u1 = uniform();
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
    template <std::size_t N>
    const char* pick(const Weighted (&items)[N]) {
        int total = 0;
        for (std::size_t i = 0; i < N; ++i) total += items[i].weight;
        int r = static_cast<int>(next() % static_cast<std::uint32_t>(total));
        for (std::size_t i = 0; i < N; ++i) {
            if (r < items[i].weight) return items[i].value;
            r -= items[i].weight;
        }
        return items[N - 1].value;
    }
    // prefix followed by digits random decimal digits.
    std::string code(const char* prefix, int digits) {
        std::string s(prefix);
        for (int i = 0; i < digits; ++i) s += static_cast<char>('0' + next() % 10);
        return s;
    }

  private:
    std::mt19937 m_gen;
};

// ---- The shape of the book -------------------------------------------------

// CFI categories and their share of the book's holdings.
const Weighted CATEGORIES[] = {
    {"E", 370}, {"D", 300}, {"C", 120}, {"O", 35}, {"F", 45}, {"S", 20},
    {"L", 40},  {"I", 15},  {"R", 10},  {"M", 20}, {"J", 15},
};

const Weighted EQUITY_GROUPS[] = {{"ES", 85}, {"EP", 4}, {"ED", 6}, {"EY", 5}};
const Weighted EQUITY_MARKETS[] = {{"XSHG", 33}, {"XSHE", 30}, {"XHKG", 15}, {"XNYS", 5},
                                   {"XNAS", 5},  {"XLON", 2},  {"XETR", 2},  {"XPAR", 1},
                                   {"XTKS", 4},  {"XASX", 3}};
const Weighted EQUITY_SECTORS[] = {{"FIN", 18}, {"IND", 14}, {"TEC", 14}, {"HLT", 9},
                                   {"ENE", 5},  {"UTL", 4},  {"MAT", 8},  {"CDS", 10},
                                   {"CST", 7},  {"COM", 6},  {"REA", 5}};

const Weighted DEBT_GROUPS[] = {{"DB", 60}, {"DT", 12}, {"DC", 8}, {"DA", 8},
                                {"DE", 6},  {"DG", 2},  {"DN", 4}};
const Weighted DEBT_MARKETS[] = {{"XIBM", 55}, {"XSHG", 15}, {"XSHE", 10}, {"XXXX", 20}};
const Weighted DEBT_SECTORS[] = {{"GOV", 25}, {"FIN", 25}, {"IND", 10}, {"UTL", 10},
                                 {"ENE", 8},  {"MAT", 7},  {"REA", 10}, {"COM", 5}};
const Weighted RATINGS[] = {{"AAA", 300}, {"AA+", 150}, {"AA", 120},  {"AA-", 60}, {"A+", 40},
                            {"A", 30},    {"A-", 20},   {"BBB+", 20}, {"BBB", 20}, {"BBB-", 10},
                            {"BB+", 10},  {"BB", 10},   {"B", 10},    {"CCC", 5},  {"NR", 175}};

const Weighted FUND_GROUPS[] = {{"CI", 45}, {"CE", 35}, {"CB", 5}, {"CH", 5}, {"CF", 5}, {"CM", 5}};
const Weighted FUND_MARKETS[] = {{"XSHG", 30}, {"XSHE", 20}, {"XXXX", 40}, {"XHKG", 10}};

const Weighted OPTION_GROUPS[] = {{"OC", 50}, {"OP", 50}};
const Weighted OPTION_MARKETS[] = {{"XSHG", 40}, {"CCFX", 30}, {"XHKG", 30}};
const Weighted FUTURE_GROUPS[] = {{"FF", 60}, {"FC", 40}};
const Weighted FIN_FUTURE_MARKETS[] = {{"CCFX", 70}, {"XHKG", 30}};
const Weighted COMMODITY_MARKETS[] = {{"XSGE", 40}, {"XDCE", 30}, {"XZCE", 30}};
const Weighted SWAP_GROUPS[] = {{"SR", 60}, {"SC", 20}, {"SE", 10}, {"SF", 10}};
const Weighted FINANCING_GROUPS[] = {{"LR", 80}, {"LS", 20}};
const Weighted FINANCING_MARKETS[] = {{"XIBM", 60}, {"XSHG", 40}};
const Weighted SPOT_GROUPS[] = {{"IF", 80}, {"IT", 20}};
const Weighted RIGHTS_GROUPS[] = {{"RW", 60}, {"RS", 40}};
const Weighted RIGHTS_MARKETS[] = {{"XSHG", 60}, {"XHKG", 40}};
const Weighted OTHER_GROUPS[] = {{"MC", 50}, {"MM", 50}};
const Weighted FORWARD_GROUPS[] = {{"JF", 70}, {"JC", 30}};
const Weighted CURRENCIES[] = {{"USD", 50}, {"HKD", 30}, {"EUR", 15}, {"GBP", 5}};

const Weighted COUNTRIES[] = {{"CN", 500}, {"US", 100}, {"HK", 100}, {"JP", 30}, {"GB", 30},
                              {"DE", 25},  {"FR", 20},  {"CH", 15},  {"CA", 15}, {"AU", 20},
                              {"KR", 15},  {"SG", 15},  {"TW", 15},  {"IN", 15}, {"NL", 10},
                              {"SE", 10},  {"IT", 10},  {"ES", 10},  {"BR", 10}, {"KY", 35}};

// The instrument code: local six-digit codes on the mainland exchanges and the
// interbank market (60/68 Shanghai shares, 00/30 Shenzhen, 1 bonds, 51/15
// ETFs), five digits in Hong Kong, ISIN-like codes elsewhere (XS for
// Eurobonds), CASH plus a currency for cash.
std::string instrumentCode(Rng& rnd, const std::string& aType, const std::string& group,
                           const std::string& market) {
    if (aType == "M" && group == "MC") return "CASH" + std::string(rnd.pick(CURRENCIES));
    if (market == "XSHG") {
        if (aType == "E") return rnd.code(rnd.chance(0.25) ? "68" : "60", 4);
        if (aType == "C") return rnd.code("51", 4);
        if (aType == "D") return rnd.code("1", 5);
        return rnd.code("9", 5);
    }
    if (market == "XSHE") {
        if (aType == "E") return rnd.code(rnd.chance(0.35) ? "30" : "00", 4);
        if (aType == "C") return rnd.code("15", 4);
        if (aType == "D") return rnd.code("1", 5);
        return rnd.code("8", 5);
    }
    if (market == "XIBM") return rnd.code("2", 5);
    if (market == "XHKG") return rnd.code("0", 4);
    if (market == "CCFX" || market == "XSGE" || market == "XDCE" || market == "XZCE") {
        return rnd.code(aType == "O" ? "IO" : "IF", 4);
    }
    if (aType == "D" && market == "XXXX") return rnd.code(rnd.chance(0.5) ? "XS" : "US", 10);
    if (market == "XNYS" || market == "XNAS") return rnd.code("US", 10);
    if (market == "XLON") return rnd.code("GB", 10);
    if (market == "XETR") return rnd.code("DE", 10);
    if (market == "XPAR") return rnd.code("FR", 10);
    if (market == "XTKS") return rnd.code("JP", 10);
    if (market == "XASX") return rnd.code("AU", 10);
    return rnd.code("CN", 10);
}

const char* const ASSET_CLASSES[] = {"EQ", "FI", "FD", "OP", "FU", "SW", "FX", "RP", "RI", "OT"};

const char* assetClassOf(const std::string& aType) {
    static const char* const TYPES = "EDCOFSILR";
    const std::string::size_type i = std::string(TYPES).find(aType);
    return i == std::string::npos ? "OT" : ASSET_CLASSES[i];
}

}  // namespace

std::size_t bookSize() {
    static const std::size_t size = [] {
        const char* env = std::getenv("ZU_ZOZOV_BOOK_SIZE");
        if (env == nullptr || *env == '\0') return static_cast<std::size_t>(1000000);
        char* end = nullptr;
        unsigned long long n = std::strtoull(env, &end, 10);
        if (end != nullptr && (*end == 'k' || *end == 'K')) n *= 1000;
        if (end != nullptr && (*end == 'm' || *end == 'M')) n *= 1000000;
        return n == 0 ? static_cast<std::size_t>(1000000) : static_cast<std::size_t>(n);
    }();
    return size;
}

std::vector<Holding> makeBook(std::size_t count, std::uint32_t seed) {
    Rng rnd(seed);
    std::vector<Holding> book(count);
    for (std::size_t i = 0; i < count; ++i) {
        Holding& h = book[i];
        char key[16];
        std::snprintf(key, sizeof key, "H%09u", static_cast<unsigned>(i));
        h.key = key;
        std::snprintf(key, sizeof key, "A%02u", static_cast<unsigned>(rnd.next() % 40));
        h.acctCode = key;
        h.aType = rnd.pick(CATEGORIES);
        const char a = h.aType[0];
        std::string& group = h.pCode[0];
        bool canBeShort = false;
        switch (a) {
            case 'E':
                group = rnd.pick(EQUITY_GROUPS);
                h.mType = rnd.pick(EQUITY_MARKETS);
                h.pCode[1] = rnd.pick(EQUITY_SECTORS);
                if (rnd.chance(0.1)) h.pCode[2] = "NR";
                canBeShort = true;
                break;
            case 'D':
                group = rnd.pick(DEBT_GROUPS);
                h.mType = rnd.pick(DEBT_MARKETS);
                h.pCode[1] = rnd.pick(DEBT_SECTORS);
                h.pCode[2] = rnd.pick(RATINGS);
                break;
            case 'C':
                group = rnd.pick(FUND_GROUPS);
                h.mType = rnd.pick(FUND_MARKETS);
                if (rnd.chance(0.7)) h.pCode[1] = "FIN";
                break;
            case 'O':
                group = rnd.pick(OPTION_GROUPS);
                h.mType = rnd.pick(OPTION_MARKETS);
                canBeShort = true;
                break;
            case 'F':
                group = rnd.pick(FUTURE_GROUPS);
                h.mType =
                    group == "FF" ? rnd.pick(FIN_FUTURE_MARKETS) : rnd.pick(COMMODITY_MARKETS);
                canBeShort = true;
                break;
            case 'S':
                group = rnd.pick(SWAP_GROUPS);
                h.mType = "XXXX";
                canBeShort = true;
                break;
            case 'L':
                group = rnd.pick(FINANCING_GROUPS);
                h.mType = rnd.pick(FINANCING_MARKETS);
                break;
            case 'I':
                group = rnd.pick(SPOT_GROUPS);
                h.mType = "XXXX";
                break;
            case 'R':
                group = rnd.pick(RIGHTS_GROUPS);
                h.mType = rnd.pick(RIGHTS_MARKETS);
                break;
            case 'M':
                group = rnd.pick(OTHER_GROUPS);
                h.mType = "XXXX";
                break;
            default:  // 'J'
                group = rnd.pick(FORWARD_GROUPS);
                h.mType = "XXXX";
                canBeShort = true;
                break;
        }
        h.iCode = instrumentCode(rnd, h.aType, group, h.mType);
        if (rnd.chance(0.12)) h.pCode[3] = rnd.pick(CURRENCIES);
        // Market values: log-normal around 300,000; derivatives are short a
        // third of the time, equities 2 %.
        h.mktVal = std::floor(std::exp(12.6 + 2.0 * rnd.normal()) * 100.0) / 100.0;
        if (canBeShort && rnd.chance(a == 'E' ? 0.02 : 0.3)) h.mktVal = -h.mktVal;
        // The tree's group codes, with a few the tree's rules do not know.
        h.gCode[0] = rnd.chance(0.01) ? "UNCL" : assetClassOf(h.aType);
        h.gCode[1] = rnd.chance(0.01) ? "ZZ" : rnd.pick(COUNTRIES);
        char ig[8];
        std::snprintf(ig, sizeof ig, "IG%02u",
                      rnd.chance(0.01) ? 99u : static_cast<unsigned>(1 + rnd.next() % 30));
        h.gCode[2] = ig;
    }
    return book;
}

qvt::ht::CGroupInstrument toInstrument(const Holding& h, bool withTreeCodes) {
    qvt::ht::CGroupInstrument inst(h.iCode, h.aType, h.mType, h.acctCode, h.pCode[0], h.pCode[1],
                                   h.pCode[2], h.pCode[3], h.pCode[4], h.pCode[5], h.pCode[6],
                                   h.pCode[7]);
    static const std::string MKT_VAL = "MKT_VAL";
    inst.addAttr(MKT_VAL, h.mktVal);
    if (withTreeCodes) {
        for (int level = 0; level < 3; ++level) inst.addAttr(TREE_RULES[level], h.gCode[level]);
    }
    return inst;
}

// ---- The rule ---------------------------------------------------------------

namespace {

// In code order.  Equities first, then debt, funds, derivatives and
// financing, cash, and a last group for dust positions of any kind.
const RuleGroup RULE[RULE_GROUPS] = {
    {"G01", "Short equity", "A_TYPE == \"E\" && MKT_VAL < 0", "a_type = 'E' AND mkt_val < 0"},
    {"G02", "Preferred shares", "A_TYPE == \"E\" && P_CODE1 == \"EP\"",
     "a_type = 'E' AND p1 = 'EP'"},
    {"G03", "Depository receipts", "A_TYPE == \"E\" && P_CODE1 == \"ED\"",
     "a_type = 'E' AND p1 = 'ED'"},
    {"G04", "STAR market",
     "A_TYPE == \"E\" && M_TYPE == \"XSHG\" && substr(I_CODE, 0, 2) == \"68\"",
     "a_type = 'E' AND m_type = 'XSHG' AND substr(i_code, 1, 2) = '68'"},
    {"G05", "Shanghai large", "A_TYPE == \"E\" && M_TYPE == \"XSHG\" && MKT_VAL >= 5000000",
     "a_type = 'E' AND m_type = 'XSHG' AND mkt_val >= 5000000"},
    {"G06", "Shanghai other", "A_TYPE == \"E\" && M_TYPE == \"XSHG\"",
     "a_type = 'E' AND m_type = 'XSHG'"},
    {"G07", "ChiNext", "A_TYPE == \"E\" && M_TYPE == \"XSHE\" && substr(I_CODE, 0, 2) == \"30\"",
     "a_type = 'E' AND m_type = 'XSHE' AND substr(i_code, 1, 2) = '30'"},
    {"G08", "Shenzhen large", "A_TYPE == \"E\" && M_TYPE == \"XSHE\" && MKT_VAL >= 5000000",
     "a_type = 'E' AND m_type = 'XSHE' AND mkt_val >= 5000000"},
    {"G09", "Shenzhen other", "A_TYPE == \"E\" && M_TYPE == \"XSHE\"",
     "a_type = 'E' AND m_type = 'XSHE'"},
    {"G10", "Hong Kong tech and media",
     "A_TYPE == \"E\" && M_TYPE == \"XHKG\" && (P_CODE2 == \"TEC\" || P_CODE2 == \"COM\")",
     "a_type = 'E' AND m_type = 'XHKG' AND (p2 = 'TEC' OR p2 = 'COM')"},
    {"G11", "Hong Kong financials", "A_TYPE == \"E\" && M_TYPE == \"XHKG\" && P_CODE2 == \"FIN\"",
     "a_type = 'E' AND m_type = 'XHKG' AND p2 = 'FIN'"},
    {"G12", "Hong Kong other", "A_TYPE == \"E\" && M_TYPE == \"XHKG\"",
     "a_type = 'E' AND m_type = 'XHKG'"},
    {"G13", "US equities", "A_TYPE == \"E\" && inColl(M_TYPE, \"XNYS,XNAS\") == 1",
     "a_type = 'E' AND m_type IN ('XNYS', 'XNAS')"},
    {"G14", "European equities", "A_TYPE == \"E\" && inColl(M_TYPE, \"XLON,XETR,XPAR\") == 1",
     "a_type = 'E' AND m_type IN ('XLON', 'XETR', 'XPAR')"},
    {"G15", "Interbank government bonds",
     "A_TYPE == \"D\" && P_CODE2 == \"GOV\" && M_TYPE == \"XIBM\"",
     "a_type = 'D' AND p2 = 'GOV' AND m_type = 'XIBM'"},
    {"G16", "Exchange government bonds", "A_TYPE == \"D\" && P_CODE2 == \"GOV\"",
     "a_type = 'D' AND p2 = 'GOV'"},
    {"G17", "Convertible bonds", "A_TYPE == \"D\" && P_CODE1 == \"DC\"",
     "a_type = 'D' AND p1 = 'DC'"},
    {"G18", "Asset-backed", "A_TYPE == \"D\" && inColl(P_CODE1, \"DE,DG\") == 1",
     "a_type = 'D' AND p1 IN ('DE', 'DG')"},
    {"G19", "Money market", "A_TYPE == \"D\" && P_CODE1 == \"DA\"", "a_type = 'D' AND p1 = 'DA'"},
    {"G20", "Eurobonds", "A_TYPE == \"D\" && substr(I_CODE, 0, 2) == \"XS\"",
     "a_type = 'D' AND substr(i_code, 1, 2) = 'XS'"},
    {"G21", "Financials AAA", "A_TYPE == \"D\" && P_CODE2 == \"FIN\" && P_CODE3 == \"AAA\"",
     "a_type = 'D' AND p2 = 'FIN' AND p3 = 'AAA'"},
    {"G22", "Financials investment grade",
     "A_TYPE == \"D\" && P_CODE2 == \"FIN\" && "
     "inColl(P_CODE3, \"AA+,AA,AA-,A+,A,A-,BBB+,BBB,BBB-\") == 1",
     "a_type = 'D' AND p2 = 'FIN' AND "
     "p3 IN ('AA+', 'AA', 'AA-', 'A+', 'A', 'A-', 'BBB+', 'BBB', 'BBB-')"},
    {"G23", "Corporate AAA", "A_TYPE == \"D\" && P_CODE3 == \"AAA\"",
     "a_type = 'D' AND p3 = 'AAA'"},
    {"G24", "Corporate AA", "A_TYPE == \"D\" && inColl(P_CODE3, \"AA+,AA,AA-\") == 1",
     "a_type = 'D' AND p3 IN ('AA+', 'AA', 'AA-')"},
    {"G25", "Corporate A", "A_TYPE == \"D\" && inColl(P_CODE3, \"A+,A,A-\") == 1",
     "a_type = 'D' AND p3 IN ('A+', 'A', 'A-')"},
    {"G26", "Corporate BBB", "A_TYPE == \"D\" && inColl(P_CODE3, \"BBB+,BBB,BBB-\") == 1",
     "a_type = 'D' AND p3 IN ('BBB+', 'BBB', 'BBB-')"},
    {"G27", "High yield", "A_TYPE == \"D\" && inColl(P_CODE3, \"BB+,BB,BB-,B+,B,B-,CCC\") == 1",
     "a_type = 'D' AND p3 IN ('BB+', 'BB', 'BB-', 'B+', 'B', 'B-', 'CCC')"},
    {"G28", "Large unrated bonds", "A_TYPE == \"D\" && MKT_VAL >= 50000000",
     "a_type = 'D' AND mkt_val >= 50000000"},
    {"G29", "Domestic ETFs",
     "A_TYPE == \"C\" && P_CODE1 == \"CE\" && (M_TYPE == \"XSHG\" || M_TYPE == \"XSHE\")",
     "a_type = 'C' AND p1 = 'CE' AND (m_type = 'XSHG' OR m_type = 'XSHE')"},
    {"G30", "Foreign ETFs", "A_TYPE == \"C\" && P_CODE1 == \"CE\"", "a_type = 'C' AND p1 = 'CE'"},
    {"G31", "REITs", "A_TYPE == \"C\" && P_CODE1 == \"CB\"", "a_type = 'C' AND p1 = 'CB'"},
    {"G32", "Hedge funds and funds of funds", "A_TYPE == \"C\" && inColl(P_CODE1, \"CH,CF\") == 1",
     "a_type = 'C' AND p1 IN ('CH', 'CF')"},
    {"G33", "Other funds", "A_TYPE == \"C\"", "a_type = 'C'"},
    {"G34", "Repurchase agreements", "A_TYPE == \"L\" && P_CODE1 == \"LR\"",
     "a_type = 'L' AND p1 = 'LR'"},
    {"G35", "Securities lending", "A_TYPE == \"L\" && P_CODE1 != \"LR\"",
     "a_type = 'L' AND p1 <> 'LR'"},
    {"G36", "FX spot", "A_TYPE == \"I\" && P_CODE1 == \"IF\"", "a_type = 'I' AND p1 = 'IF'"},
    {"G37", "Commodity spot", "A_TYPE == \"I\" && P_CODE1 != \"IF\"",
     "a_type = 'I' AND p1 <> 'IF'"},
    {"G38", "Index futures", "A_TYPE == \"F\" && P_CODE1 == \"FF\" && M_TYPE == \"CCFX\"",
     "a_type = 'F' AND p1 = 'FF' AND m_type = 'CCFX'"},
    {"G39", "Other financial futures", "A_TYPE == \"F\" && P_CODE1 == \"FF\"",
     "a_type = 'F' AND p1 = 'FF'"},
    {"G40", "Commodity futures", "A_TYPE == \"F\" && inColl(M_TYPE, \"XSGE,XDCE,XZCE\") == 1",
     "a_type = 'F' AND m_type IN ('XSGE', 'XDCE', 'XZCE')"},
    {"G41", "Calls", "A_TYPE == \"O\" && P_CODE1 == \"OC\"", "a_type = 'O' AND p1 = 'OC'"},
    {"G42", "Puts", "A_TYPE == \"O\" && P_CODE1 == \"OP\"", "a_type = 'O' AND p1 = 'OP'"},
    {"G43", "Rate swaps", "A_TYPE == \"S\" && P_CODE1 == \"SR\"", "a_type = 'S' AND p1 = 'SR'"},
    {"G44", "Credit swaps", "A_TYPE == \"S\" && P_CODE1 == \"SC\"", "a_type = 'S' AND p1 = 'SC'"},
    {"G45", "Other swaps", "A_TYPE == \"S\" && inColl(P_CODE1, \"SE,ST,SF\") == 1",
     "a_type = 'S' AND p1 IN ('SE', 'ST', 'SF')"},
    {"G46", "Warrants", "A_TYPE == \"R\" && P_CODE1 == \"RW\"", "a_type = 'R' AND p1 = 'RW'"},
    {"G47", "Other rights", "A_TYPE == \"R\" && P_CODE1 != \"RW\"", "a_type = 'R' AND p1 <> 'RW'"},
    {"G48", "Forwards", "A_TYPE == \"J\"", "a_type = 'J'"},
    {"G49", "Cash", "A_TYPE == \"M\" && substr(I_CODE, 0, 4) == \"CASH\"",
     "a_type = 'M' AND substr(i_code, 1, 4) = 'CASH'"},
    {"G50", "Dust", "MKT_VAL >= 0 && MKT_VAL < 1000", "mkt_val >= 0 AND mkt_val < 1000"},
};

std::string xmlEscape(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        switch (*p) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += *p;
        }
    }
    return out;
}

bool startsWith(const std::string& s, std::string_view prefix) {
    return std::string_view(s).substr(0, prefix.size()) == prefix;
}

}  // namespace

const RuleGroup* ruleGroups() { return RULE; }

std::string ruleXml() {
    std::string xml = "<GroupRule Code=\"BOOK\">";
    for (int i = 0; i < RULE_GROUPS; ++i) {
        xml += "<Group Code=\"" + std::string(RULE[i].code) + "\" Name=\"" +
               xmlEscape(RULE[i].name) + "\" Exp=\"" + xmlEscape(RULE[i].exp) + "\"/>";
    }
    return xml + "</GroupRule>";
}

int groupIndex(const char* code, std::size_t len) {
    if (len == 3 && code[0] == 'G' && code[1] >= '0' && code[1] <= '9' && code[2] >= '0' &&
        code[2] <= '9') {
        const int n = (code[1] - '0') * 10 + (code[2] - '0');
        if (n >= 1 && n <= RULE_GROUPS) return n - 1;
    }
    if (len == 6 && std::string(code, len) == "xother") return XOTHER;
    return -2;
}

const std::string& groupCode(int index) {
    static const std::vector<std::string> codes = [] {
        std::vector<std::string> v;
        for (int i = 0; i < RULE_GROUPS; ++i) v.push_back(RULE[i].code);
        v.push_back("xother");
        return v;
    }();
    return index < 0 || index >= RULE_GROUPS ? codes.back() : codes[index];
}

// The rule written out by hand, group by group as in RULE.
int plainGroup(const Holding& h) {
    // Views compare inline (length, then bytes), as code written for speed
    // would.
    const std::string_view a = h.aType;
    const std::string_view m = h.mType;
    const std::string_view p1 = h.pCode[0];
    const std::string_view p2 = h.pCode[1];
    const std::string_view p3 = h.pCode[2];
    const double v = h.mktVal;
    if (a == "E" && v < 0) return 0;
    if (a == "E" && p1 == "EP") return 1;
    if (a == "E" && p1 == "ED") return 2;
    if (a == "E" && m == "XSHG" && startsWith(h.iCode, "68")) return 3;
    if (a == "E" && m == "XSHG" && v >= 5000000) return 4;
    if (a == "E" && m == "XSHG") return 5;
    if (a == "E" && m == "XSHE" && startsWith(h.iCode, "30")) return 6;
    if (a == "E" && m == "XSHE" && v >= 5000000) return 7;
    if (a == "E" && m == "XSHE") return 8;
    if (a == "E" && m == "XHKG" && (p2 == "TEC" || p2 == "COM")) return 9;
    if (a == "E" && m == "XHKG" && p2 == "FIN") return 10;
    if (a == "E" && m == "XHKG") return 11;
    if (a == "E" && (m == "XNYS" || m == "XNAS")) return 12;
    if (a == "E" && (m == "XLON" || m == "XETR" || m == "XPAR")) return 13;
    if (a == "D" && p2 == "GOV" && m == "XIBM") return 14;
    if (a == "D" && p2 == "GOV") return 15;
    if (a == "D" && p1 == "DC") return 16;
    if (a == "D" && (p1 == "DE" || p1 == "DG")) return 17;
    if (a == "D" && p1 == "DA") return 18;
    if (a == "D" && startsWith(h.iCode, "XS")) return 19;
    if (a == "D" && p2 == "FIN" && p3 == "AAA") return 20;
    if (a == "D" && p2 == "FIN" &&
        (p3 == "AA+" || p3 == "AA" || p3 == "AA-" || p3 == "A+" || p3 == "A" || p3 == "A-" ||
         p3 == "BBB+" || p3 == "BBB" || p3 == "BBB-")) {
        return 21;
    }
    if (a == "D" && p3 == "AAA") return 22;
    if (a == "D" && (p3 == "AA+" || p3 == "AA" || p3 == "AA-")) return 23;
    if (a == "D" && (p3 == "A+" || p3 == "A" || p3 == "A-")) return 24;
    if (a == "D" && (p3 == "BBB+" || p3 == "BBB" || p3 == "BBB-")) return 25;
    if (a == "D" && (p3 == "BB+" || p3 == "BB" || p3 == "BB-" || p3 == "B+" || p3 == "B" ||
                     p3 == "B-" || p3 == "CCC")) {
        return 26;
    }
    if (a == "D" && v >= 50000000) return 27;
    if (a == "C" && p1 == "CE" && (m == "XSHG" || m == "XSHE")) return 28;
    if (a == "C" && p1 == "CE") return 29;
    if (a == "C" && p1 == "CB") return 30;
    if (a == "C" && (p1 == "CH" || p1 == "CF")) return 31;
    if (a == "C") return 32;
    if (a == "L" && p1 == "LR") return 33;
    if (a == "L" && p1 != "LR") return 34;
    if (a == "I" && p1 == "IF") return 35;
    if (a == "I" && p1 != "IF") return 36;
    if (a == "F" && p1 == "FF" && m == "CCFX") return 37;
    if (a == "F" && p1 == "FF") return 38;
    if (a == "F" && (m == "XSGE" || m == "XDCE" || m == "XZCE")) return 39;
    if (a == "O" && p1 == "OC") return 40;
    if (a == "O" && p1 == "OP") return 41;
    if (a == "S" && p1 == "SR") return 42;
    if (a == "S" && p1 == "SC") return 43;
    if (a == "S" && (p1 == "SE" || p1 == "ST" || p1 == "SF")) return 44;
    if (a == "R" && p1 == "RW") return 45;
    if (a == "R" && p1 != "RW") return 46;
    if (a == "J") return 47;
    if (a == "M" && startsWith(h.iCode, "CASH")) return 48;
    if (v >= 0 && v < 1000) return 49;
    return XOTHER;
}

const char* sqlCreateTable() {
    return "CREATE TABLE book(i_code TEXT, a_type TEXT, m_type TEXT, acct_code TEXT, "
           "p1 TEXT, p2 TEXT, p3 TEXT, p4 TEXT, p5 TEXT, p6 TEXT, p7 TEXT, p8 TEXT, "
           "mkt_val REAL)";
}

const char* sqlInsert() { return "INSERT INTO book VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"; }

std::string sqlCaseQuery() {
    std::string sql = "SELECT CASE";
    for (int i = 0; i < RULE_GROUPS; ++i) {
        sql += " WHEN " + std::string(RULE[i].sql) + " THEN '" + RULE[i].code + "'";
    }
    return sql + " ELSE 'xother' END FROM book ORDER BY rowid";
}

RuleStats ruleStats(const std::vector<Holding>& book) {
    RuleStats s = {0.0, 0.0};
    if (book.empty()) return s;
    double tried = 0.0;
    std::size_t xother = 0;
    for (const Holding& h : book) {
        const int g = plainGroup(h);
        if (g == XOTHER) {
            ++xother;
            tried += RULE_GROUPS;
        } else {
            tried += g + 1;
        }
    }
    s.groupsTried = tried / static_cast<double>(book.size());
    s.xotherShare = static_cast<double>(xother) / static_cast<double>(book.size());
    return s;
}

// ---- The tree ---------------------------------------------------------------

const char* const TREE_RULES[3] = {"G_CODE1", "G_CODE2", "G_CODE3"};
const int TREE_GROUPS[3] = {10, 20, 30};
const char* const TREE_LEVEL2_EXPR = "MKT_VAL > 0";

const std::vector<std::string>& treeGroupCodes(int level) {
    static const std::vector<std::string> codes[3] = {
        [] { return std::vector<std::string>(ASSET_CLASSES, ASSET_CLASSES + 10); }(),
        [] {
            std::vector<std::string> v;
            for (const Weighted& w : COUNTRIES) v.push_back(w.value);
            return v;
        }(),
        [] {
            std::vector<std::string> v;
            for (int i = 1; i <= 30; ++i) {
                char ig[8];
                std::snprintf(ig, sizeof ig, "IG%02d", i);
                v.push_back(ig);
            }
            return v;
        }(),
    };
    return codes[level];
}

const char* treeDefinitionXml() {
    return "<GroupTree Code=\"BOOK\" Name=\"book\">"
           "<GroupRule Code=\"G_CODE1\"><GroupRule Code=\"G_CODE2\"><GroupRule Code=\"G_CODE3\"/>"
           "</GroupRule></GroupRule></GroupTree>";
}

boost::shared_ptr<qvt::ht::IHTGroupData> makeTreeData() {
    boost::shared_ptr<testsupport::FakeData> data(new testsupport::FakeData());
    data->recordCalls = false;
    for (int level = 0; level < 3; ++level) {
        qvt::ht::CGrpRule& rule = data->ownRule(TREE_RULES[level]);
        for (const std::string& code : treeGroupCodes(level)) {
            qvt::ht::CGroup* g = new qvt::ht::CGroup();
            g->setCode(code);
            g->setName(code);
            g->setExpression(level == 1 ? TREE_LEVEL2_EXPR : "");
            rule.addGroup(g);
        }
    }
    return data;
}

// Leaves: 0 is G_CODE1.xother; then per asset class a (10) its G_CODE2.xother
// leaf and per country c (20) its G_CODE3.xother leaf and the 30 industry
// leaves.
namespace {
const int PER_COUNTRY = 1 + 30;
const int PER_CLASS = 1 + 20 * PER_COUNTRY;
}  // namespace

PlainTree::PlainTree() {
    for (int level = 0; level < 3; ++level) {
        const std::vector<std::string>& codes = treeGroupCodes(level);
        for (std::size_t i = 0; i < codes.size(); ++i)
            m_index[level][codes[i]] = static_cast<int>(i);
    }
    const std::vector<std::string>& l1 = treeGroupCodes(0);
    const std::vector<std::string>& l2 = treeGroupCodes(1);
    const std::vector<std::string>& l3 = treeGroupCodes(2);
    const std::string r1 = std::string(TREE_RULES[0]) + ".";
    const std::string r2 = std::string("/") + TREE_RULES[1] + ".";
    const std::string r3 = std::string("/") + TREE_RULES[2] + ".";
    m_paths.push_back(r1 + "xother");
    for (const std::string& a : l1) {
        m_paths.push_back(r1 + a + r2 + "xother");
        for (const std::string& c : l2) {
            m_paths.push_back(r1 + a + r2 + c + r3 + "xother");
            for (const std::string& s : l3) m_paths.push_back(r1 + a + r2 + c + r3 + s);
        }
    }
}

int PlainTree::lookup(int level, const std::string& code) const {
    std::unordered_map<std::string, int>::const_iterator it = m_index[level].find(code);
    return it == m_index[level].end() ? -1 : it->second;
}

int PlainTree::leafOf(const Holding& h) const {
    const int a = lookup(0, h.gCode[0]);
    if (a < 0) return 0;
    const int classBase = 1 + a * PER_CLASS;
    const int c = h.mktVal > 0 ? lookup(1, h.gCode[1]) : -1;
    if (c < 0) return classBase;
    const int countryBase = classBase + 1 + c * PER_COUNTRY;
    const int s = lookup(2, h.gCode[2]);
    return s < 0 ? countryBase : countryBase + 1 + s;
}

std::string PlainTree::pathOf(const Holding& h) const {
    static const std::string XOTHER_TEXT = "xother";
    std::string path = TREE_RULES[0];
    path += '.';
    if (lookup(0, h.gCode[0]) < 0) return path + XOTHER_TEXT;
    path += h.gCode[0];
    path += '/';
    path += TREE_RULES[1];
    path += '.';
    if (!(h.mktVal > 0) || lookup(1, h.gCode[1]) < 0) return path + XOTHER_TEXT;
    path += h.gCode[1];
    path += '/';
    path += TREE_RULES[2];
    path += '.';
    path += lookup(2, h.gCode[2]) < 0 ? XOTHER_TEXT : h.gCode[2];
    return path;
}

}  // namespace bookbench
