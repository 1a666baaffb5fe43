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

BEGIN;
INSERT INTO prop_value VALUES ('SECTOR', '01', '金融');
INSERT INTO prop_value VALUES ('SECTOR', '02', '信息技术');
INSERT INTO prop_value VALUES ('SECTOR', '03', '医药卫生');
INSERT INTO prop_value VALUES ('SECTOR', '04', '可选与日常消费');
INSERT INTO prop_value VALUES ('SECTOR', '05', '工业');
INSERT INTO prop_value VALUES ('SECTOR', '06', '能源与材料');
INSERT INTO prop_value VALUES ('SECTOR', '07', '公用事业与地产');
INSERT INTO prop_value VALUES ('INDUSTRY', '0101', '银行');
INSERT INTO prop_value VALUES ('INDUSTRY', '0102', '证券');
INSERT INTO prop_value VALUES ('INDUSTRY', '0103', '保险');
INSERT INTO prop_value VALUES ('INDUSTRY', '0201', '电子');
INSERT INTO prop_value VALUES ('INDUSTRY', '0202', '计算机');
INSERT INTO prop_value VALUES ('INDUSTRY', '0203', '通信');
INSERT INTO prop_value VALUES ('INDUSTRY', '0301', '化学制药');
INSERT INTO prop_value VALUES ('INDUSTRY', '0302', '生物制品');
INSERT INTO prop_value VALUES ('INDUSTRY', '0303', '医疗器械');
INSERT INTO prop_value VALUES ('INDUSTRY', '0401', '食品饮料');
INSERT INTO prop_value VALUES ('INDUSTRY', '0402', '家用电器');
INSERT INTO prop_value VALUES ('INDUSTRY', '0403', '汽车');
INSERT INTO prop_value VALUES ('INDUSTRY', '0501', '机械设备');
INSERT INTO prop_value VALUES ('INDUSTRY', '0502', '电力设备');
INSERT INTO prop_value VALUES ('INDUSTRY', '0503', '国防军工');
INSERT INTO prop_value VALUES ('INDUSTRY', '0601', '煤炭');
INSERT INTO prop_value VALUES ('INDUSTRY', '0602', '有色金属');
INSERT INTO prop_value VALUES ('INDUSTRY', '0603', '基础化工');
INSERT INTO prop_value VALUES ('INDUSTRY', '0604', '钢铁');
INSERT INTO prop_value VALUES ('INDUSTRY', '0701', '电力');
INSERT INTO prop_value VALUES ('INDUSTRY', '0702', '房地产');
INSERT INTO prop_value VALUES ('INDUSTRY', '0704', '环保');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '01', '0101');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '01', '0102');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '01', '0103');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '02', '0201');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '02', '0202');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '02', '0203');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '03', '0301');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '03', '0302');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '03', '0303');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '04', '0401');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '04', '0402');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '04', '0403');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '05', '0501');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '05', '0502');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '05', '0503');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '06', '0601');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '06', '0602');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '06', '0603');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '06', '0604');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '07', '0701');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '07', '0702');
INSERT INTO prop_parent VALUES ('SECTOR', 'INDUSTRY', '07', '0704');
INSERT INTO account VALUES ('ACCT', 'A1', '自营权益投资', 'inColl(ACCT_CODE, "ZYQY01, ZYQY02") == 1');
INSERT INTO account VALUES ('ACCT', 'A2', '自营固定收益', 'inColl(ACCT_CODE, "ZYGS01, ZYGS02") == 1');
INSERT INTO account VALUES ('ACCT', 'A3', '资产管理产品', 'substr(ACCT_CODE, 0, 2) == "ZG"');
INSERT INTO account VALUES ('ACCT', 'A4', '做市业务', 'ACCT_CODE == "ZS01"');
INSERT INTO setting VALUES ('root_class_code', 'ALL');
INSERT INTO pool VALUES (1, 'CORE', '核心股票池');
INSERT INTO pool VALUES (2, 'BASE', '基础股票池');
INSERT INTO pool VALUES (3, 'CREDIT', '信用债入库池');
INSERT INTO pool VALUES (9, 'BAN', '禁投池');
INSERT INTO pool_member VALUES (1, '000107');
INSERT INTO pool_member VALUES (1, '000403');
INSERT INTO pool_member VALUES (1, '000527');
INSERT INTO pool_member VALUES (1, '000824');
INSERT INTO pool_member VALUES (1, '000832');
INSERT INTO pool_member VALUES (1, '000875');
INSERT INTO pool_member VALUES (1, '000973');
INSERT INTO pool_member VALUES (1, '000994');
INSERT INTO pool_member VALUES (1, '002378');
INSERT INTO pool_member VALUES (1, '002637');
INSERT INTO pool_member VALUES (1, '002766');
INSERT INTO pool_member VALUES (1, '002772');
INSERT INTO pool_member VALUES (1, '002794');
INSERT INTO pool_member VALUES (1, '002960');
INSERT INTO pool_member VALUES (1, '300242');
INSERT INTO pool_member VALUES (1, '300260');
INSERT INTO pool_member VALUES (1, '300409');
INSERT INTO pool_member VALUES (1, '300510');
INSERT INTO pool_member VALUES (1, '300750');
INSERT INTO pool_member VALUES (1, '300808');
INSERT INTO pool_member VALUES (1, '300863');
INSERT INTO pool_member VALUES (1, '300931');
INSERT INTO pool_member VALUES (1, '600151');
INSERT INTO pool_member VALUES (1, '600342');
INSERT INTO pool_member VALUES (1, '600490');
INSERT INTO pool_member VALUES (1, '600513');
INSERT INTO pool_member VALUES (1, '600825');
INSERT INTO pool_member VALUES (1, '601518');
INSERT INTO pool_member VALUES (1, '602063');
INSERT INTO pool_member VALUES (1, '602100');
INSERT INTO pool_member VALUES (1, '602170');
INSERT INTO pool_member VALUES (1, '602366');
INSERT INTO pool_member VALUES (1, '602772');
INSERT INTO pool_member VALUES (1, '602773');
INSERT INTO pool_member VALUES (1, '603518');
INSERT INTO pool_member VALUES (1, '603888');
INSERT INTO pool_member VALUES (1, '604441');
INSERT INTO pool_member VALUES (1, '604503');
INSERT INTO pool_member VALUES (1, '604883');
INSERT INTO pool_member VALUES (1, '604902');
INSERT INTO pool_member VALUES (1, '605206');
INSERT INTO pool_member VALUES (1, '605375');
INSERT INTO pool_member VALUES (1, '606525');
INSERT INTO pool_member VALUES (1, '606983');
INSERT INTO pool_member VALUES (1, '607009');
INSERT INTO pool_member VALUES (1, '607054');
INSERT INTO pool_member VALUES (1, '607359');
INSERT INTO pool_member VALUES (1, '607692');
INSERT INTO pool_member VALUES (1, '607979');
INSERT INTO pool_member VALUES (1, '608008');
INSERT INTO pool_member VALUES (1, '609129');
INSERT INTO pool_member VALUES (1, '609412');
INSERT INTO pool_member VALUES (1, '688479');
INSERT INTO pool_member VALUES (1, '688504');
INSERT INTO pool_member VALUES (1, '688562');
INSERT INTO pool_member VALUES (1, '688636');
INSERT INTO pool_member VALUES (1, '688762');
INSERT INTO pool_member VALUES (1, '688829');
INSERT INTO pool_member VALUES (1, '688934');
INSERT INTO pool_member VALUES (1, '688967');
INSERT INTO pool_member VALUES (2, '000054');
INSERT INTO pool_member VALUES (2, '000073');
INSERT INTO pool_member VALUES (2, '000124');
INSERT INTO pool_member VALUES (2, '000136');
INSERT INTO pool_member VALUES (2, '000215');
INSERT INTO pool_member VALUES (2, '000221');
INSERT INTO pool_member VALUES (2, '000279');
INSERT INTO pool_member VALUES (2, '000311');
INSERT INTO pool_member VALUES (2, '000414');
INSERT INTO pool_member VALUES (2, '000527');
INSERT INTO pool_member VALUES (2, '000630');
INSERT INTO pool_member VALUES (2, '000640');
INSERT INTO pool_member VALUES (2, '000729');
INSERT INTO pool_member VALUES (2, '000829');
INSERT INTO pool_member VALUES (2, '000850');
INSERT INTO pool_member VALUES (2, '000853');
INSERT INTO pool_member VALUES (2, '000875');
INSERT INTO pool_member VALUES (2, '000970');
INSERT INTO pool_member VALUES (2, '002058');
INSERT INTO pool_member VALUES (2, '002096');
INSERT INTO pool_member VALUES (2, '002114');
INSERT INTO pool_member VALUES (2, '002158');
INSERT INTO pool_member VALUES (2, '002161');
INSERT INTO pool_member VALUES (2, '002162');
INSERT INTO pool_member VALUES (2, '002187');
INSERT INTO pool_member VALUES (2, '002200');
INSERT INTO pool_member VALUES (2, '002211');
INSERT INTO pool_member VALUES (2, '002239');
INSERT INTO pool_member VALUES (2, '002259');
INSERT INTO pool_member VALUES (2, '002353');
INSERT INTO pool_member VALUES (2, '002377');
INSERT INTO pool_member VALUES (2, '002378');
INSERT INTO pool_member VALUES (2, '002382');
INSERT INTO pool_member VALUES (2, '002483');
INSERT INTO pool_member VALUES (2, '002528');
INSERT INTO pool_member VALUES (2, '002569');
INSERT INTO pool_member VALUES (2, '002588');
INSERT INTO pool_member VALUES (2, '002623');
INSERT INTO pool_member VALUES (2, '002637');
INSERT INTO pool_member VALUES (2, '002716');
INSERT INTO pool_member VALUES (2, '002755');
INSERT INTO pool_member VALUES (2, '002766');
INSERT INTO pool_member VALUES (2, '002772');
INSERT INTO pool_member VALUES (2, '002786');
INSERT INTO pool_member VALUES (2, '002794');
INSERT INTO pool_member VALUES (2, '002813');
INSERT INTO pool_member VALUES (2, '002845');
INSERT INTO pool_member VALUES (2, '002942');
INSERT INTO pool_member VALUES (2, '002943');
INSERT INTO pool_member VALUES (2, '002944');
INSERT INTO pool_member VALUES (2, '002960');
INSERT INTO pool_member VALUES (2, '002979');
INSERT INTO pool_member VALUES (2, '300092');
INSERT INTO pool_member VALUES (2, '300126');
INSERT INTO pool_member VALUES (2, '300205');
INSERT INTO pool_member VALUES (2, '300260');
INSERT INTO pool_member VALUES (2, '300263');
INSERT INTO pool_member VALUES (2, '300316');
INSERT INTO pool_member VALUES (2, '300339');
INSERT INTO pool_member VALUES (2, '300391');
INSERT INTO pool_member VALUES (2, '300469');
INSERT INTO pool_member VALUES (2, '300510');
INSERT INTO pool_member VALUES (2, '300634');
INSERT INTO pool_member VALUES (2, '300679');
INSERT INTO pool_member VALUES (2, '300703');
INSERT INTO pool_member VALUES (2, '300714');
INSERT INTO pool_member VALUES (2, '300746');
INSERT INTO pool_member VALUES (2, '300768');
INSERT INTO pool_member VALUES (2, '300773');
INSERT INTO pool_member VALUES (2, '300781');
INSERT INTO pool_member VALUES (2, '300798');
INSERT INTO pool_member VALUES (2, '300808');
INSERT INTO pool_member VALUES (2, '300829');
INSERT INTO pool_member VALUES (2, '300850');
INSERT INTO pool_member VALUES (2, '300910');
INSERT INTO pool_member VALUES (2, '600036');
INSERT INTO pool_member VALUES (2, '600136');
INSERT INTO pool_member VALUES (2, '600151');
INSERT INTO pool_member VALUES (2, '600342');
INSERT INTO pool_member VALUES (2, '600486');
INSERT INTO pool_member VALUES (2, '600679');
INSERT INTO pool_member VALUES (2, '600920');
INSERT INTO pool_member VALUES (2, '600983');
INSERT INTO pool_member VALUES (2, '601003');
INSERT INTO pool_member VALUES (2, '601071');
INSERT INTO pool_member VALUES (2, '601456');
INSERT INTO pool_member VALUES (2, '601518');
INSERT INTO pool_member VALUES (2, '601578');
INSERT INTO pool_member VALUES (2, '601961');
INSERT INTO pool_member VALUES (2, '602074');
INSERT INTO pool_member VALUES (2, '602100');
INSERT INTO pool_member VALUES (2, '602214');
INSERT INTO pool_member VALUES (2, '602425');
INSERT INTO pool_member VALUES (2, '602568');
INSERT INTO pool_member VALUES (2, '602583');
INSERT INTO pool_member VALUES (2, '602772');
INSERT INTO pool_member VALUES (2, '602773');
INSERT INTO pool_member VALUES (2, '602961');
INSERT INTO pool_member VALUES (2, '603040');
INSERT INTO pool_member VALUES (2, '603223');
INSERT INTO pool_member VALUES (2, '603518');
INSERT INTO pool_member VALUES (2, '603539');
INSERT INTO pool_member VALUES (2, '603838');
INSERT INTO pool_member VALUES (2, '604004');
INSERT INTO pool_member VALUES (2, '604085');
INSERT INTO pool_member VALUES (2, '604366');
INSERT INTO pool_member VALUES (2, '604517');
INSERT INTO pool_member VALUES (2, '604547');
INSERT INTO pool_member VALUES (2, '604852');
INSERT INTO pool_member VALUES (2, '604860');
INSERT INTO pool_member VALUES (2, '604883');
INSERT INTO pool_member VALUES (2, '604902');
INSERT INTO pool_member VALUES (2, '604928');
INSERT INTO pool_member VALUES (2, '604940');
INSERT INTO pool_member VALUES (2, '605154');
INSERT INTO pool_member VALUES (2, '605167');
INSERT INTO pool_member VALUES (2, '605172');
INSERT INTO pool_member VALUES (2, '605206');
INSERT INTO pool_member VALUES (2, '605234');
INSERT INTO pool_member VALUES (2, '605507');
INSERT INTO pool_member VALUES (2, '605547');
INSERT INTO pool_member VALUES (2, '605786');
INSERT INTO pool_member VALUES (2, '605873');
INSERT INTO pool_member VALUES (2, '606008');
INSERT INTO pool_member VALUES (2, '606177');
INSERT INTO pool_member VALUES (2, '606393');
INSERT INTO pool_member VALUES (2, '606525');
INSERT INTO pool_member VALUES (2, '606613');
INSERT INTO pool_member VALUES (2, '606746');
INSERT INTO pool_member VALUES (2, '606955');
INSERT INTO pool_member VALUES (2, '606983');
INSERT INTO pool_member VALUES (2, '607113');
INSERT INTO pool_member VALUES (2, '607359');
INSERT INTO pool_member VALUES (2, '607702');
INSERT INTO pool_member VALUES (2, '607713');
INSERT INTO pool_member VALUES (2, '607732');
INSERT INTO pool_member VALUES (2, '607955');
INSERT INTO pool_member VALUES (2, '607979');
INSERT INTO pool_member VALUES (2, '608008');
INSERT INTO pool_member VALUES (2, '608015');
INSERT INTO pool_member VALUES (2, '608056');
INSERT INTO pool_member VALUES (2, '608150');
INSERT INTO pool_member VALUES (2, '608339');
INSERT INTO pool_member VALUES (2, '608358');
INSERT INTO pool_member VALUES (2, '608362');
INSERT INTO pool_member VALUES (2, '608374');
INSERT INTO pool_member VALUES (2, '608599');
INSERT INTO pool_member VALUES (2, '608706');
INSERT INTO pool_member VALUES (2, '608758');
INSERT INTO pool_member VALUES (2, '609129');
INSERT INTO pool_member VALUES (2, '609412');
INSERT INTO pool_member VALUES (2, '609541');
INSERT INTO pool_member VALUES (2, '609601');
INSERT INTO pool_member VALUES (2, '609618');
INSERT INTO pool_member VALUES (2, '609825');
INSERT INTO pool_member VALUES (2, '609889');
INSERT INTO pool_member VALUES (2, '609923');
INSERT INTO pool_member VALUES (2, '609951');
INSERT INTO pool_member VALUES (2, '688101');
INSERT INTO pool_member VALUES (2, '688183');
INSERT INTO pool_member VALUES (2, '688211');
INSERT INTO pool_member VALUES (2, '688310');
INSERT INTO pool_member VALUES (2, '688456');
INSERT INTO pool_member VALUES (2, '688479');
INSERT INTO pool_member VALUES (2, '688497');
INSERT INTO pool_member VALUES (2, '688562');
INSERT INTO pool_member VALUES (2, '688587');
INSERT INTO pool_member VALUES (2, '688605');
INSERT INTO pool_member VALUES (2, '688606');
INSERT INTO pool_member VALUES (2, '688636');
INSERT INTO pool_member VALUES (2, '688646');
INSERT INTO pool_member VALUES (2, '688654');
INSERT INTO pool_member VALUES (2, '688716');
INSERT INTO pool_member VALUES (2, '688762');
INSERT INTO pool_member VALUES (2, '688782');
INSERT INTO pool_member VALUES (2, '688829');
INSERT INTO pool_member VALUES (2, '688895');
INSERT INTO pool_member VALUES (2, '688934');
INSERT INTO pool_member VALUES (2, '688965');
INSERT INTO pool_member VALUES (2, '688967');
INSERT INTO pool_member VALUES (3, '012026249');
INSERT INTO pool_member VALUES (3, '012098334');
INSERT INTO pool_member VALUES (3, '012241476');
INSERT INTO pool_member VALUES (3, '012294322');
INSERT INTO pool_member VALUES (3, '012364831');
INSERT INTO pool_member VALUES (3, '012384660');
INSERT INTO pool_member VALUES (3, '012416721');
INSERT INTO pool_member VALUES (3, '012556138');
INSERT INTO pool_member VALUES (3, '012656139');
INSERT INTO pool_member VALUES (3, '012668763');
INSERT INTO pool_member VALUES (3, '012720119');
INSERT INTO pool_member VALUES (3, '012722653');
INSERT INTO pool_member VALUES (3, '012821866');
INSERT INTO pool_member VALUES (3, '012927365');
INSERT INTO pool_member VALUES (3, '102127135');
INSERT INTO pool_member VALUES (3, '102165440');
INSERT INTO pool_member VALUES (3, '102169375');
INSERT INTO pool_member VALUES (3, '102208134');
INSERT INTO pool_member VALUES (3, '102238117');
INSERT INTO pool_member VALUES (3, '102267122');
INSERT INTO pool_member VALUES (3, '102296739');
INSERT INTO pool_member VALUES (3, '102361601');
INSERT INTO pool_member VALUES (3, '102455564');
INSERT INTO pool_member VALUES (3, '102515805');
INSERT INTO pool_member VALUES (3, '102532694');
INSERT INTO pool_member VALUES (3, '102532697');
INSERT INTO pool_member VALUES (3, '102560636');
INSERT INTO pool_member VALUES (3, '102578655');
INSERT INTO pool_member VALUES (3, '102592953');
INSERT INTO pool_member VALUES (3, '102606674');
INSERT INTO pool_member VALUES (3, '102626280');
INSERT INTO pool_member VALUES (3, '102637793');
INSERT INTO pool_member VALUES (3, '102645055');
INSERT INTO pool_member VALUES (3, '102667803');
INSERT INTO pool_member VALUES (3, '102674465');
INSERT INTO pool_member VALUES (3, '102772514');
INSERT INTO pool_member VALUES (3, '102835828');
INSERT INTO pool_member VALUES (3, '102847474');
INSERT INTO pool_member VALUES (3, '102865807');
INSERT INTO pool_member VALUES (3, '102886518');
INSERT INTO pool_member VALUES (3, '138068');
INSERT INTO pool_member VALUES (3, '138261');
INSERT INTO pool_member VALUES (3, '138288');
INSERT INTO pool_member VALUES (3, '138522');
INSERT INTO pool_member VALUES (3, '138527');
INSERT INTO pool_member VALUES (3, '138533');
INSERT INTO pool_member VALUES (3, '138594');
INSERT INTO pool_member VALUES (3, '138663');
INSERT INTO pool_member VALUES (3, '138767');
INSERT INTO pool_member VALUES (3, '138849');
INSERT INTO pool_member VALUES (3, '138877');
INSERT INTO pool_member VALUES (3, '143221');
INSERT INTO pool_member VALUES (3, '143305');
INSERT INTO pool_member VALUES (3, '143330');
INSERT INTO pool_member VALUES (3, '143345');
INSERT INTO pool_member VALUES (3, '143463');
INSERT INTO pool_member VALUES (3, '143484');
INSERT INTO pool_member VALUES (3, '143561');
INSERT INTO pool_member VALUES (3, '143911');
INSERT INTO pool_member VALUES (3, '143978');
INSERT INTO pool_member VALUES (3, '175058');
INSERT INTO pool_member VALUES (3, '175078');
INSERT INTO pool_member VALUES (3, '175168');
INSERT INTO pool_member VALUES (3, '175739');
INSERT INTO pool_member VALUES (3, '175768');
INSERT INTO pool_member VALUES (3, '175923');
INSERT INTO pool_member VALUES (3, '175970');
INSERT INTO pool_member VALUES (9, '012026249');
INSERT INTO pool_member VALUES (9, '240261');
INSERT INTO pool_member VALUES (9, '240264');
INSERT INTO pool_member VALUES (9, '601651');
INSERT INTO pool_member VALUES (9, '602547');
INSERT INTO pool_member VALUES (9, '604272');
INSERT INTO pool_member VALUES (9, '609457');
INSERT INTO risk_stock VALUES ('000653', 'ST');
INSERT INTO risk_stock VALUES ('000744', '*ST');
INSERT INTO risk_stock VALUES ('000870', 'ST');
INSERT INTO risk_stock VALUES ('002205', '*ST');
INSERT INTO risk_stock VALUES ('002386', 'ST');
INSERT INTO risk_stock VALUES ('002456', '*ST');
INSERT INTO risk_stock VALUES ('002749', 'ST');
INSERT INTO risk_stock VALUES ('002995', 'ST');
INSERT INTO risk_stock VALUES ('300017', 'ST');
INSERT INTO risk_stock VALUES ('300891', '*ST');
INSERT INTO risk_stock VALUES ('601150', 'ST');
INSERT INTO risk_stock VALUES ('601651', '*ST');
INSERT INTO risk_stock VALUES ('602547', 'ST');
INSERT INTO risk_stock VALUES ('602719', 'ST');
INSERT INTO risk_stock VALUES ('604272', '*ST');
INSERT INTO risk_stock VALUES ('604569', '*ST');
INSERT INTO risk_stock VALUES ('605650', '*ST');
INSERT INTO risk_stock VALUES ('606497', 'ST');
INSERT INTO risk_stock VALUES ('609457', '*ST');
INSERT INTO risk_stock VALUES ('833626', '*ST');
INSERT INTO credit_watch VALUES ('C0004', 'Beiyuan Electric Holdings Co., Ltd.', 1);
INSERT INTO credit_watch VALUES ('C0006', 'Guangyuan Steel Holdings Co., Ltd.', 3);
INSERT INTO credit_watch VALUES ('C0009', 'Zhaoxin Electric Holdings Co., Ltd.', 2);
INSERT INTO credit_watch VALUES ('C0011', 'Wanhong Energy Holdings Co., Ltd.', 2);
INSERT INTO credit_watch VALUES ('C0022', 'Wanrun Automobile Holdings Co., Ltd.', 1);
INSERT INTO credit_watch VALUES ('C0028', 'Tailian Insurance Holdings Co., Ltd.', 3);
INSERT INTO credit_watch VALUES ('C0041', 'Beisheng Biotech Holdings Co., Ltd.', 2);
COMMIT;
