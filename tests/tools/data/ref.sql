CREATE TABLE bank_stock(i_code TEXT);
INSERT INTO bank_stock VALUES ('600000'), ('000001');
CREATE TABLE pool_member(pool_id INTEGER, i_code TEXT);
INSERT INTO pool_member VALUES (7, '600519'), (7, '000001'), (8, '600000');
