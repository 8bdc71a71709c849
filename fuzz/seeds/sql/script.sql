create table [New T] (id counter, code char(10) not null, price decimal(10,2), d datetime, b bit, g guid, pic longbinary)
insert into `new t` (code, price, d) values ('A1', 3.14159, 'Jan 3, 2021')
DROP TABLE `New T`;
