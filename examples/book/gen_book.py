#!/usr/bin/env python3
"""Writes the example book and its reference data.

    python3 examples/book/gen_book.py            # rewrites book.csv and ../ref.sql
    python3 examples/book/gen_book.py --rows N [--out FILE.csv|-]
                                                 # a book of N holdings for benchmarks

The output depends on nothing but this file: the random numbers come from a
small generator of its own (not Python's), so every Python 3 writes the same
bytes. The book is UTF-8 CSV (RFC 4180 quoting, LF line ends) with the columns

    I_CODE,A_TYPE,M_TYPE,ACCT_CODE,P_CODE1..P_CODE8,     the instrument record
    NAME,ISSUER,STK.INDUSTRY:string,STK.INDUSTRY.SECTOR:string,QTY,
    PRICE:double,MKT_VALUE:double,COST_VALUE:double      named attributes

P_CODE1 sub-type, P_CODE2 credit rating, P_CODE3 repo direction, P_CODE4
issuer code, P_CODE5 currency; P_CODE6..8 stay empty. The industry columns are
typed as strings because their codes have leading zeros ("01" is not 1).
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


class Rng:
    """64-bit linear congruential generator (Knuth's MMIX constants)."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF

    def next(self):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        return self.state >> 33

    def below(self, n):
        return self.next() % n

    def between(self, lo, hi):
        return lo + self.below(hi - lo + 1)

    def uniform(self, lo, hi):
        return lo + (hi - lo) * (self.next() / float(1 << 31))

    def choice(self, seq):
        return seq[self.below(len(seq))]

    def sample(self, seq, k):
        pool = list(seq)
        out = []
        for _ in range(min(k, len(pool))):
            out.append(pool.pop(self.below(len(pool))))
        return out


# ------------------------------------------------------------------ dictionaries

SECTORS = [
    ("01", "金融"), ("02", "信息技术"), ("03", "医药卫生"), ("04", "可选与日常消费"),
    ("05", "工业"), ("06", "能源与材料"), ("07", "公用事业与地产"),
]
# industry code, name, sector, Chinese word used in names, English word
INDUSTRIES = [
    ("0101", "银行", "01", "银行", "Bank"),
    ("0102", "证券", "01", "证券", "Securities"),
    ("0103", "保险", "01", "保险", "Insurance"),
    ("0201", "电子", "02", "电子", "Electronics"),
    ("0202", "计算机", "02", "软件", "Software"),
    ("0203", "通信", "02", "通信", "Telecom"),
    ("0301", "化学制药", "03", "药业", "Pharmaceutical"),
    ("0302", "生物制品", "03", "生物", "Biotech"),
    ("0303", "医疗器械", "03", "医疗", "Medical"),
    ("0401", "食品饮料", "04", "食品", "Foods"),
    ("0402", "家用电器", "04", "电器", "Appliances"),
    ("0403", "汽车", "04", "汽车", "Automobile"),
    ("0501", "机械设备", "05", "重工", "Heavy Industries"),
    ("0502", "电力设备", "05", "电气", "Electric"),
    ("0503", "国防军工", "05", "航天", "Aerospace"),
    ("0601", "煤炭", "06", "能源", "Energy"),
    ("0602", "有色金属", "06", "矿业", "Mining"),
    ("0603", "基础化工", "06", "化工", "Chemical"),
    ("0604", "钢铁", "06", "钢铁", "Steel"),
    ("0701", "电力", "07", "电力", "Power"),
    ("0702", "房地产", "07", "置业", "Properties"),
    # in the dictionary, held by nobody: its node stays empty
    ("0704", "环保", "07", "环保", "Environmental"),
]
PREFIXES = [
    ("华", "Hua"), ("中", "Zhong"), ("东方", "Dongfang"), ("海", "Hai"), ("金", "Jin"),
    ("新", "Xin"), ("恒", "Heng"), ("国", "Guo"), ("长江", "Changjiang"), ("宁", "Ning"),
    ("天", "Tian"), ("万", "Wan"), ("安", "An"), ("龙", "Long"), ("鑫", "Xin"),
    ("瑞", "Rui"), ("泰", "Tai"), ("晨", "Chen"), ("光", "Guang"), ("浦", "Pu"),
    ("招", "Zhao"), ("兴", "Xing"), ("民", "Min"), ("江", "Jiang"), ("北", "Bei"),
    ("南", "Nan"), ("大", "Da"), ("广", "Guang"), ("深", "Shen"), ("云", "Yun"),
]
SECOND = [
    ("信", "xin"), ("达", "da"), ("盛", "sheng"), ("通", "tong"), ("丰", "feng"),
    ("源", "yuan"), ("联", "lian"), ("润", "run"), ("宏", "hong"), ("远", "yuan"),
]
PROVINCES = [
    ("广东", "Guangdong"), ("江苏", "Jiangsu"), ("浙江", "Zhejiang"), ("山东", "Shandong"),
    ("四川", "Sichuan"), ("湖北", "Hubei"), ("北京", "Beijing"), ("上海", "Shanghai"),
]
RATINGS = ["AAA", "AAA", "AAA", "AA+", "AA+", "AA", "AA-", "A+"]

POOLS = [
    (1, "CORE", "核心股票池"),
    (2, "BASE", "基础股票池"),
    (3, "CREDIT", "信用债入库池"),
    (9, "BAN", "禁投池"),
]

# The account rule ACCT: which business line an account belongs to. The
# book's account TEST99 is in none of them.
ACCOUNT_RULE = [
    ("ACCT", "A1", "自营权益投资", 'inColl(ACCT_CODE, "ZYQY01, ZYQY02") == 1'),
    ("ACCT", "A2", "自营固定收益", 'inColl(ACCT_CODE, "ZYGS01, ZYGS02") == 1'),
    ("ACCT", "A3", "资产管理产品", 'substr(ACCT_CODE, 0, 2) == "ZG"'),
    ("ACCT", "A4", "做市业务", 'ACCT_CODE == "ZS01"'),
]

# account code, kind of mandate, number of positions
ACCOUNTS = [
    ("ZYQY01", "equity", 260), ("ZYQY02", "equity", 220),
    ("ZYGS01", "bond", 190), ("ZYGS02", "bond", 160),
    ("ZG0001", "mixed", 330), ("ZG0002", "mixed", 300), ("ZG0003", "bond", 240),
    ("ZG0004", "equity", 280), ("ZG0005", "mixed", 260), ("ZG0006", "cash", 40),
    ("ZS01", "market", 70),
    ("TEST99", "mixed", 6),  # an account that the account rule does not know
]


# ------------------------------------------------------------------ instruments

class Instrument:
    def __init__(self, code, a_type, m_type, name, p=None, issuer="", industry="",
                 price=100.0, mult=1.0):
        self.code, self.a_type, self.m_type, self.name = code, a_type, m_type, name
        self.p = (p or []) + [""] * (8 - len(p or []))
        self.issuer, self.industry = issuer, industry
        self.price, self.mult = price, mult


def make_universe(rng):
    """Stocks, bonds, funds, repos, futures and deposits, with the lists that
    ref.sql keeps about them (risk flags, watched issuers, pool members)."""
    inst, used = [], set()
    issuers = {}  # issuer code -> English name
    risk, watch, pools = [], [], {pid: [] for pid, _, _ in POOLS}

    def unique(make):
        while True:
            code = make()
            if code not in used:
                used.add(code)
                return code

    industries = [i for i in INDUSTRIES if i[0] != "0704"]
    boards = [("60", 4, "XSHG", 160), ("688", 3, "XSHG", 40), ("000", 3, "XSHE", 50),
              ("002", 3, "XSHE", 60), ("300", 3, "XSHE", 50), ("83", 4, "XBSE", 6)]
    stocks = []
    for prefix, width, market, count in boards:
        for _ in range(count):
            code = unique(lambda: prefix + str(rng.below(10 ** width)).zfill(width))
            ind = rng.choice(industries)
            p1, p2 = rng.choice(PREFIXES), rng.choice(SECOND)
            name = p1[0] + p2[0] + ind[3]
            issuer_code = "E" + code
            english = "%s%s %s Co., Ltd." % (p1[1], p2[1], ind[4])
            if rng.below(9) == 0:
                english = "%s%s %s (Group) Co., Ltd." % (p1[1], p2[1], ind[4])
            issuers[issuer_code] = english
            industry = ind[0] if rng.below(60) else ""  # a few not yet classified
            s = Instrument(code, "STK", market, name, ["A", "", "", issuer_code, "CNY"],
                           english, industry, round(rng.uniform(3, 180), 2))
            if rng.below(25) == 0:
                s.name = ("*ST" if rng.below(2) else "ST") + s.name
                risk.append((code, "*ST" if s.name.startswith("*") else "ST"))
            stocks.append(s)
    inst += stocks

    bonds = []
    for _ in range(20):  # treasuries
        code = unique(lambda: "019" + str(rng.between(600, 799)))
        bonds.append(Instrument(code, "BOND", "XSHG", "24国债%02d" % rng.between(1, 30),
                                ["GOV", "", "", "MOF", "CNY"], "Ministry of Finance, PRC",
                                price=round(rng.uniform(98, 104), 4)))
    for _ in range(25):  # local government
        prov = rng.choice(PROVINCES)
        code = unique(lambda: "24" + str(rng.between(5000, 5999)) + str(rng.below(10)))
        bonds.append(Instrument(code, "BOND", "XIBM", "24%s债%02d" % (prov[0], rng.between(1, 60)),
                                ["LOCAL", "", "", "GOV-" + prov[1].upper(), "CNY"],
                                "People's Government of %s Province" % prov[1],
                                price=round(rng.uniform(99, 103), 4)))
    for _ in range(20):  # policy banks
        bank = rng.choice([("国开", "China Development Bank"), ("进出", "Export-Import Bank of China"),
                           ("农发", "Agricultural Development Bank of China")])
        code = unique(lambda: "2402" + str(rng.between(0, 99)).zfill(2))
        bonds.append(Instrument(code, "BOND", "XIBM", "24%s%02d" % (bank[0], rng.between(1, 20)),
                                ["PFB", "", "", "PFB-" + bank[1].split()[0].upper(), "CNY"],
                                bank[1], price=round(rng.uniform(99, 105), 4)))
    credit_issuers = []
    for i in range(45):
        p1, p2 = rng.choice(PREFIXES), rng.choice(SECOND)
        ind = rng.choice(industries)
        code = "C%04d" % (i + 1)
        english = "%s%s %s Holdings Co., Ltd." % (p1[1], p2[1], ind[4])
        issuers[code] = english
        credit_issuers.append((code, p1[0] + p2[0] + ind[3], english, rng.choice(RATINGS)))
        if rng.below(6) == 0:
            watch.append((code, english, rng.between(1, 3)))
    for _ in range(80):  # corporate, medium-term notes, commercial paper
        iss = rng.choice(credit_issuers)
        kind = rng.choice(["CORP", "CORP", "MTN", "MTN", "CP"])
        if kind == "CORP":
            code = unique(lambda: "1" + rng.choice(["43", "38", "75"]) + str(rng.below(1000)).zfill(3))
            market, name = "XSHG", "%02d%s%02d" % (rng.between(21, 24), iss[1][:2], rng.between(1, 9))
        elif kind == "MTN":
            code = unique(lambda: "102" + str(rng.below(1000000)).zfill(6))
            market, name = "XIBM", "%02d%sMTN%03d" % (rng.between(21, 24), iss[1][:2], rng.between(1, 12))
        else:
            code = unique(lambda: "012" + str(rng.below(1000000)).zfill(6))
            market, name = "XIBM", "24%sSCP%03d" % (iss[1][:2], rng.between(1, 20))
        rating = iss[3] if rng.below(5) else rng.choice(RATINGS)
        b = Instrument(code, "BOND", market, name, [kind, rating, "", iss[0], "CNY"], iss[2],
                       price=round(rng.uniform(95, 103), 4))
        bonds.append(b)
    for _ in range(15):  # convertibles
        s = rng.choice([s for s in stocks if s.m_type != "XBSE"])
        code = unique(lambda: ("113" if s.m_type == "XSHG" else "123") + str(rng.below(1000)).zfill(3))
        bonds.append(Instrument(code, "BOND", s.m_type, s.name.replace("*ST", "").replace("ST", "")[:2] + "转债",
                                ["CB", rng.choice(["AA+", "AA", "AA-", "A+"]), "", s.p[3], "CNY"],
                                s.issuer, price=round(rng.uniform(100, 160), 3)))
    inst += bonds

    funds = [
        Instrument("511880", "FUND", "XSHG", "银华日利", ["MMF", "", "", "", "CNY"], price=100.9),
        Instrument("511990", "FUND", "XSHG", "华宝添益", ["MMF", "", "", "", "CNY"], price=100.0),
        Instrument("510300", "FUND", "XSHG", "沪深300ETF", ["ETF", "", "", "", "CNY"], price=3.95),
        Instrument("510500", "FUND", "XSHG", "中证500ETF", ["ETF", "", "", "", "CNY"], price=5.62),
        Instrument("588000", "FUND", "XSHG", "科创50ETF", ["ETF", "", "", "", "CNY"], price=0.98),
        Instrument("159919", "FUND", "XSHE", "沪深300ETF(嘉实)", ["ETF", "", "", "", "CNY"], price=4.01),
        Instrument("161005", "FUND", "XSHE", "富国天惠LOF", ["EQ", "", "", "", "CNY"], price=2.31),
        Instrument("003376", "FUND", "OTC", "广发7-10年国开债指数A", ["BOND", "", "", "", "CNY"], price=1.38),
        Instrument("000171", "FUND", "OTC", "易方达裕丰回报债券<A类>", ["BOND", "", "", "", "CNY"], price=1.72),
        Instrument("968012", "FUND", "OTC", 'Alpha & Omega "Select" Fund, Class <A>',
                   ["EQ", "", "", "", "USD"], 'Alpha & Omega Asset Management (HK), Ltd.', price=7.13),
    ]
    inst += funds
    repos = [
        Instrument("204001", "REPO", "XSHG", "GC001", ["REPO", "", "RREPO", "", "CNY"], price=100.0),
        Instrument("204007", "REPO", "XSHG", "GC007", ["REPO", "", "RREPO", "", "CNY"], price=100.0),
        Instrument("R001", "REPO", "XIBM", "R001", ["REPO", "", "RREPO", "", "CNY"], price=100.0),
        Instrument("R007", "REPO", "XIBM", "R007", ["REPO", "", "REPO", "", "CNY"], price=100.0),
        Instrument("R014", "REPO", "XIBM", "R014", ["REPO", "", "REPO", "", "CNY"], price=100.0),
    ]
    inst += repos
    futures = [
        Instrument("IF2412", "FUT", "CFFEX", "沪深300股指期货2412", ["IDX"], price=3930.2, mult=300),
        Instrument("IC2412", "FUT", "CFFEX", "中证500股指期货2412", ["IDX"], price=5701.4, mult=200),
        Instrument("IH2412", "FUT", "CFFEX", "上证50股指期货2412", ["IDX"], price=2712.6, mult=300),
        Instrument("IM2412", "FUT", "CFFEX", "中证1000股指期货2412", ["IDX"], price=6012.0, mult=200),
        Instrument("T2503", "FUT", "CFFEX", "10年期国债期货2503", ["TBF"], price=106.85, mult=10000),
        Instrument("TF2503", "FUT", "CFFEX", "5年期国债期货2503", ["TBF"], price=105.12, mult=10000),
        Instrument("AU2412", "FUT", "SHFE", "黄金2412", ["CMD"], price=612.3, mult=1000),
        Instrument("CU2501", "FUT", "SHFE", "铜2501", ["CMD"], price=74210.0, mult=5),
    ]
    inst += futures
    cash = [
        Instrument("CNY-DEMAND", "CASH", "OTC", "人民币活期存款", ["DEMAND", "", "", "", "CNY"], price=1.0),
        Instrument("CNY-3M", "CASH", "OTC", "人民币三个月定期存款", ["TIME", "", "", "", "CNY"], price=1.0),
        Instrument("CNY-1Y", "CASH", "OTC", "人民币一年期定期存款", ["TIME", "", "", "", "CNY"], price=1.0),
    ]
    inst += cash

    listed = [s for s in stocks if s.m_type != "XBSE" and "ST" not in s.name]
    pools[1] = [s.code for s in rng.sample(listed, 60)]
    pools[2] = [s.code for s in rng.sample(listed, 180)]
    pools[3] = [b.code for b in bonds if b.p[0] in ("CORP", "MTN", "CP") and b.p[1] in ("AAA", "AA+")]
    pools[9] = [code for code, _ in risk][:4] + [b.code for b in rng.sample(bonds, 3)]
    groups = {"stocks": stocks, "bonds": bonds, "funds": funds, "repos": repos,
              "futures": futures, "cash": cash}
    return inst, groups, risk, watch, pools


# ------------------------------------------------------------------ the book

HEADER = ["I_CODE", "A_TYPE", "M_TYPE", "ACCT_CODE"] + ["P_CODE%d" % i for i in range(1, 9)] + [
    "NAME", "ISSUER", "STK.INDUSTRY:string", "STK.INDUSTRY.SECTOR:string", "QTY",
    "PRICE:double", "MKT_VALUE:double", "COST_VALUE:double"]

SECTOR_OF = {code: sector for code, _, sector, _, _ in INDUSTRIES}


def csv_field(text):
    if any(c in text for c in ',"\r\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


def money(x):
    return "%.2f" % x


def holding_row(rng, acct, ins):
    kind = ins.a_type
    if kind == "STK":
        qty = rng.between(1, 400) * 100
    elif kind == "BOND":
        qty = rng.between(1, 500) * 100  # bonds of 100 yuan face value
    elif kind == "FUND":
        qty = rng.between(1, 300) * 1000
    elif kind == "REPO":
        qty = rng.between(1, 200) * 1000
    elif kind == "FUT":
        qty = rng.between(1, 60) * (-1 if rng.below(3) == 0 else 1)  # short hedges
    else:
        qty = rng.between(1, 500) * 10000
    price = ins.price
    value = qty * price * ins.mult
    if kind == "BOND":
        value = qty * price  # clean price per 100 face, qty counts units of 100
    if kind == "REPO":
        value = qty * 100.0 * (-1 if ins.p[2] == "REPO" else 1)  # borrowing is a liability
    if kind == "FUT":
        value = qty * price * ins.mult * 0.12  # margin held
    cost = value * rng.uniform(0.8, 1.15)
    industry = ins.industry
    sector = SECTOR_OF.get(industry, "") if industry else ""
    fields = [ins.code, ins.a_type, ins.m_type, acct] + ins.p + [
        ins.name, ins.issuer, industry, sector, str(qty), repr(round(price, 4)),
        money(value), money(cost)]
    return ",".join(csv_field(f) for f in fields)


def pick(rng, groups, mandate, n):
    """n distinct instruments for one account, weighted by its mandate."""
    weights = {
        "equity": [("stocks", 86), ("funds", 6), ("futures", 4), ("cash", 2), ("repos", 2)],
        "bond": [("bonds", 84), ("repos", 8), ("funds", 4), ("futures", 2), ("cash", 2)],
        "mixed": [("stocks", 45), ("bonds", 40), ("funds", 8), ("repos", 3), ("futures", 2), ("cash", 2)],
        "cash": [("repos", 30), ("cash", 30), ("funds", 25), ("bonds", 15)],
        "market": [("funds", 40), ("bonds", 30), ("stocks", 30)],
    }[mandate]
    total = sum(w for _, w in weights)
    chosen, seen = [], set()
    tries = 0
    while len(chosen) < n and tries < n * 50:
        tries += 1
        r = rng.below(total)
        for key, w in weights:
            if r < w:
                break
            r -= w
        ins = rng.choice(groups[key])
        if ins.code not in seen:
            seen.add(ins.code)
            chosen.append(ins)
    return chosen


def write_book(out, rng, groups, rows=None):
    out.write(",".join(HEADER) + "\n")
    if rows is None:
        for acct, mandate, n in ACCOUNTS:
            for ins in pick(rng, groups, mandate, n):
                out.write(holding_row(rng, acct, ins) + "\n")
        return
    # A big book: many accounts of the same mandates (TEST99 left out).
    written, k = 0, 0
    while written < rows:
        acct, mandate, n = ACCOUNTS[k % (len(ACCOUNTS) - 1)]
        acct = "%s-%05d" % (acct, k // (len(ACCOUNTS) - 1))
        for ins in pick(rng, groups, mandate, min(n, rows - written)):
            out.write(holding_row(rng, acct, ins) + "\n")
            written += 1
        k += 1


# ------------------------------------------------------------------ ref.sql

REF_HEADER = """\
-- Reference data for the example rules, loaded with  zu_zozov ... --db examples/ref.sql
-- (a .sql script is run into an in-memory database; a SQLite database file with the
-- same tables serves as well). Written by examples/book/gen_book.py; do not edit.
--
-- Tables the tool reads by itself:
--
--   prop_value(prop_code, value_code, value_name)
--       The value list of a property: a rule of the Property form, e.g.
--       Property="STK.INDUSTRY.SECTOR", asks for the last segment of its path
--       (SECTOR) and gets one group per row: group code = value_code, group
--       name = value_name.
--
--   prop_parent(child_prop, parent_prop, child_value, parent_value)
--       The values of property parent_prop whose object carries child_value
--       as its value of child_prop: the industries (parent_prop INDUSTRY) of
--       the sector 01 (child_prop SECTOR) are the parent_value of the rows
--       ('SECTOR', 'INDUSTRY', '01', ...). A rule whose Property path
--       continues another rule's path (STK.INDUSTRY.SECTOR continues
--       STK.INDUSTRY) hangs above it in a tree; each of its nodes then gets
--       only its own values of the lower rule.
--
--   account(rule_code, code, name, expression)
--       Account rules: one row per account, tried in ascending order of code;
--       the expression is a boolean expression like a group's, over the
--       holding's attributes and ACCT_CODE.
--
--   pool_member(pool_id, i_code)
--       Instrument pools: inPool(id) holds when the instrument's I_CODE is a
--       member of pool id (an integer; inPool's argument is a number).
--   pool(pool_id, pool_code, pool_name)
--       Names of the pools, for people; the tool does not need it.
--
--   setting(name, value)
--       name 'root_class_code': the class code that stands for every class.
--
-- Tables that only the rules' own SQL reads (inSql runs the SQL text of the
-- rule once, caches its first column and tests the value against it):
--
--   risk_stock(i_code, flag)             stocks under risk warning (ST, *ST)
--   credit_watch(issuer_code, issuer_name, watch_level)
--                                        issuers on the credit watch list
--                                        (level 1 notice .. 3 downgrade likely)

CREATE TABLE prop_value (
    prop_code  TEXT NOT NULL,
    value_code TEXT NOT NULL,
    value_name TEXT NOT NULL,
    PRIMARY KEY (prop_code, value_code)
);
CREATE TABLE prop_parent (
    child_prop   TEXT NOT NULL,
    parent_prop  TEXT NOT NULL,
    child_value  TEXT NOT NULL,
    parent_value TEXT NOT NULL,
    PRIMARY KEY (child_prop, parent_prop, child_value, parent_value)
);
CREATE TABLE account (
    rule_code  TEXT NOT NULL,
    code       TEXT NOT NULL,
    name       TEXT NOT NULL,
    expression TEXT NOT NULL,
    PRIMARY KEY (rule_code, code)
);
CREATE TABLE pool (
    pool_id   INTEGER PRIMARY KEY,
    pool_code TEXT NOT NULL UNIQUE,
    pool_name TEXT NOT NULL
);
CREATE TABLE pool_member (
    pool_id INTEGER NOT NULL REFERENCES pool (pool_id),
    i_code  TEXT NOT NULL,
    PRIMARY KEY (pool_id, i_code)
);
CREATE TABLE setting (
    name  TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
CREATE TABLE risk_stock (
    i_code TEXT PRIMARY KEY,
    flag   TEXT NOT NULL
);
CREATE TABLE credit_watch (
    issuer_code TEXT PRIMARY KEY,
    issuer_name TEXT NOT NULL,
    watch_level INTEGER NOT NULL
);
"""


def sql_text(s):
    return "'" + s.replace("'", "''") + "'"


def write_ref(path, risk, watch, pools):
    lines = [REF_HEADER, "BEGIN;"]
    for code, name in SECTORS:
        lines.append("INSERT INTO prop_value VALUES ('SECTOR', %s, %s);" % (sql_text(code), sql_text(name)))
    for code, name, sector, _, _ in INDUSTRIES:
        lines.append("INSERT INTO prop_value VALUES ('INDUSTRY', %s, %s);" % (sql_text(code), sql_text(name)))
    for code, _, sector, _, _ in INDUSTRIES:
        lines.append("INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', %s, %s);" % (sql_text(sector), sql_text(code)))
    for rule, code, name, expression in ACCOUNT_RULE:
        lines.append("INSERT INTO account VALUES (%s, %s, %s, %s);"
                     % (sql_text(rule), sql_text(code), sql_text(name), sql_text(expression)))
    lines.append("INSERT INTO setting VALUES ('root_class_code', 'ALL');")
    for pid, code, name in POOLS:
        lines.append("INSERT INTO pool VALUES (%d, %s, %s);" % (pid, sql_text(code), sql_text(name)))
    for pid, _, _ in POOLS:
        for code in sorted(pools[pid]):
            lines.append("INSERT INTO pool_member VALUES (%d, %s);" % (pid, sql_text(code)))
    for code, flag in sorted(risk):
        lines.append("INSERT INTO risk_stock VALUES (%s, %s);" % (sql_text(code), sql_text(flag)))
    for code, name, level in sorted(watch):
        lines.append("INSERT INTO credit_watch VALUES (%s, %s, %d);" % (sql_text(code), sql_text(name), level))
    lines.append("COMMIT;")
    with open(path, "w", encoding="utf-8", newline="") as out:
        out.write("\n".join(lines) + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--rows", type=int, help="write a book of this many holdings instead")
    ap.add_argument("--out", help="where to write the book (default: book.csv beside this script)")
    ap.add_argument("--seed", type=int, default=20241206)
    args = ap.parse_args()
    rng = Rng(args.seed)
    _, groups, risk, watch, pools = make_universe(rng)
    out_path = args.out or (os.path.join(HERE, "book.csv") if args.rows is None else "-")
    if out_path == "-":
        out = open(sys.stdout.fileno(), "w", encoding="utf-8", newline="", closefd=False)
    else:
        out = open(out_path, "w", encoding="utf-8", newline="")
    with out:
        write_book(out, rng, groups, args.rows)
    if args.rows is None:
        write_ref(os.path.join(HERE, "..", "ref.sql"), risk, watch, pools)
    return 0


if __name__ == "__main__":
    sys.exit(main())
