-- A small car-service shop for the demo: two card types, five members with cars and
-- insurance, and the reminder settings. The dates are relative to today, so that the daily work
-- always finds something to do.
USE `RudUvivizUzevid`;

DELETE FROM SysParam;
INSERT INTO SysParam (PName, SysId, PValue) VALUES
  ('enabled_m_encrypt', 0, 'False'),
  ('timer_schedule_time', 0, '11:00:00'),
  ('smsBirthday', 0, 'True'), ('smsBirthday', 1, '3'),
  ('smsInsure', 0, 'True'), ('smsInsure', 1, '7'),
  ('smsMaintain', 0, 'True'), ('smsMaintain', 1, '3'),
  ('smsHoliday', 0, 'False'), ('smsLost', 0, 'False'),
  ('smsParam', 0, 'demo-shop'), ('smsParam', 1, 'demo-password');

DELETE FROM CardType;
INSERT INTO CardType (id, name, level, price, deposit, validity, regulation, description, state) VALUES
  (1, '普通卡', 1, 0, 0, 12, '0', '入门会员', 0),
  (2, '金卡', 2, 500, 50, 24, '<?xml version="1.0" encoding="GBK"?>
<Rules>
  <rule storer="AccountStorer" name="一年不消费降级" cardType="2" enableRule="True" type="4" priority="0">
    <upMember type="int">0</upMember>
    <bySumExpense type="bool">False</bySumExpense>
    <sumExpenseLimit type="double">0</sumExpenseLimit>
    <bySumRecharge type="bool">False</bySumRecharge>
    <sumRechargeLimit type="double">0</sumRechargeLimit>
    <bySumIntegral type="bool">False</bySumIntegral>
    <sumIntegralLimit type="int">0</sumIntegralLimit>
    <bySingleExpense type="bool">False</bySingleExpense>
    <singleExpenseLimit type="double">0</singleExpenseLimit>
    <enableReturnBalance type="bool">False</enableReturnBalance>
    <enableReturnDeposit type="bool">False</enableReturnDeposit>
    <downMember type="int">1</downMember>
    <byDownNumber type="bool">True</byDownNumber>
    <downNuber type="int">1</downNuber>
    <byDownMoney type="bool">True</byDownMoney>
    <downMoney type="double">100</downMoney>
  </rule>
</Rules>', '一年内消费不足100元且无记录则降为普通卡', 0);

DELETE FROM MemberInfo;
INSERT INTO MemberInfo (id, serial, realName, sex, registerDate) VALUES
  (1, 'M0001', '张伟', '男', '2019-05-01 10:00:00'),
  (2, 'M0002', '王芳', '女', '2020-03-12 15:30:00'),
  (3, 'M0003', '李娜', '女', '2021-07-08 09:15:00'),
  (4, 'M0004', '刘强', '男', '2018-11-20 14:00:00'),
  (5, 'M0005', '陈静', '女', '2022-01-05 11:45:00');

DELETE FROM MemberExInfo;
INSERT INTO MemberExInfo (id, idCard, mobile, telephone, birthday, address, receiveNotify) VALUES
  (1, '110101198001010011', '13800138001', '13800138001', DATE_SUB(CURDATE(), INTERVAL 40 YEAR), '北京市朝阳区建国路1号', 3),
  (2, '310101199003030022', '13900139002', '13900139002', DATE_ADD(DATE_SUB(CURDATE(), INTERVAL 33 YEAR), INTERVAL 2 DAY), '上海市黄浦区南京东路2号', 3),
  (3, '440101198505050033', '13700137003', '0', DATE_SUB(CURDATE(), INTERVAL 38 YEAR), '广州市天河区体育西路3号', 3),
  (4, '510101197507070044', '13600136004', '13600136004', '1975-07-07', '成都市锦江区春熙路4号', 3),
  (5, '320101199212120055', '13500135005', '13500135005', NULL, '南京市玄武区中山路5号', 3);

DELETE FROM MemberCard;
INSERT INTO MemberCard (id, serial, password, cardTypeId, memberId, activeDate, money, rechargeMoney, integral, totalIntegral, checksum, lastExpenseDate, state, useNumber, price, deposit) VALUES
  (1, 'VIP0001', 123456, 2, 1, '2019-05-01 10:00:00', 320, 1000, 150, 800, '0', DATE_SUB(NOW(), INTERVAL 400 DAY), 0, 12, 500, 50),
  (2, 'VIP0002', 223344, 2, 2, '2020-03-12 15:30:00', 80.5, 600, 60, 300, '0', DATE_SUB(NOW(), INTERVAL 20 DAY), 0, 30, 500, 50),
  (3, 'VIP0003', 334455, 2, 3, '2021-07-08 09:15:00', 0, 0, 0, 0, '0', NULL, 0, 1, 500, 50),
  (4, 'NOR0004', 445566, 1, 4, '2018-11-20 14:00:00', 15, 200, 10, 90, '0', DATE_SUB(NOW(), INTERVAL 500 DAY), 0, 5, 0, 0),
  (5, 'NOR0005', 556677, 1, 5, '2022-01-05 11:45:00', 50, 50, 5, 5, '0', NULL, 0, 2, 0, 0);

DELETE FROM MemberCardLog;
INSERT INTO MemberCardLog (memberId, cardId, cardSerial, type, refrenceId, datetime, subbranchId, workstationId, operatorId, description) VALUES
  (2, 2, 'VIP0002', 2, 0, DATE_SUB(NOW(), INTERVAL 20 DAY), 1, 1, 1, '洗车'),
  (1, 1, 'VIP0001', 2, 0, DATE_SUB(NOW(), INTERVAL 400 DAY), 1, 1, 1, '保养');

DELETE FROM MemberExpense;
INSERT INTO MemberExpense (memberId, memberCardId, totalMoney, deductions, datetime, description) VALUES
  (2, 2, 260, 0, DATE_SUB(NOW(), INTERVAL 20 DAY), '精洗+打蜡'),
  (1, 1, 880, 0, DATE_SUB(NOW(), INTERVAL 400 DAY), '大保养');

DELETE FROM CarInfo;
INSERT INTO CarInfo (id, memberId, carNo, brand, model, color, maintainDate) VALUES
  (1, 1, '京A12345', '大众', '帕萨特', '黑色', DATE_ADD(CURDATE(), INTERVAL 1 DAY)),
  (2, 2, '沪B67890', '丰田', '凯美瑞', '白色', DATE_ADD(CURDATE(), INTERVAL 60 DAY)),
  (3, 4, '川A24680', '本田', '雅阁', '银色', DATE_ADD(CURDATE(), INTERVAL 2 DAY));

DELETE FROM Insurance;
INSERT INTO Insurance (carId, name, provider, policyNo, money, startDate, deadline) VALUES
  (1, '交强险', '中国平安', 'PA2023001', 950, DATE_SUB(CURDATE(), INTERVAL 360 DAY), DATE_ADD(CURDATE(), INTERVAL 5 DAY)),
  (2, '商业险', '中国人保', 'RB2023002', 3200, DATE_SUB(CURDATE(), INTERVAL 100 DAY), DATE_ADD(CURDATE(), INTERVAL 265 DAY)),
  (3, '交强险', '太平洋保险', 'TP2023003', 950, DATE_SUB(CURDATE(), INTERVAL 363 DAY), DATE_ADD(CURDATE(), INTERVAL 2 DAY));
