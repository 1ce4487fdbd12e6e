-- The example's sales figures: regions, products and monthly sales.
CREATE TABLE region (id INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE product (id INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE sales (region INTEGER REFERENCES region(id), product INTEGER REFERENCES product(id),
                    year INTEGER, month INTEGER, amount REAL, quantity INTEGER);
INSERT INTO region VALUES (1, 'Północ'), (2, 'Południe'), (3, 'Wschód'), (4, 'Zachód');
INSERT INTO product VALUES (1, 'Rowery'), (2, 'Kaski'), (3, 'Opony');
WITH RECURSIVE m(month) AS (SELECT 1 UNION ALL SELECT month + 1 FROM m WHERE month < 12)
INSERT INTO sales
SELECT r.id, p.id, y.year, m.month,
       round(1000 * r.id + 250 * p.id + 37.5 * m.month + (y.year - 2024) * 120, 2),
       10 * r.id + p.id + m.month
FROM region r, product p, m, (SELECT 2024 AS year UNION ALL SELECT 2025) y;
