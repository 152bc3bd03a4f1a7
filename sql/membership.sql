CREATE DATABASE IF NOT EXISTS `RudUvivizUzevid` DEFAULT CHARACTER SET gbk;
USE `RudUvivizUzevid`;

-- ---------------------------------------------------------------------------------------
-- Membership database of the car-service shop: the tables that AutoBackup reads and
-- writes. The membership system's counter programs own and fill these tables; the
-- columns below are the ones the service's statements name, plus the few that complete
-- each record (bill numbers, operator ids and the like).
--
-- Conventions:
--   * every table is InnoDB with GBK as its character set (texts are GBK byte strings);
--   * ids are signed 32-bit integers (operator -2 and branch -1 are stored as such);
--   * money is DOUBLE, integral (points) and counts are INT, flags are TINYINT(1);
--   * date-times are DATETIME NULL: the service writes NULL for its zero date;
--   * the reminder dates (birthday, insurance deadline, next maintenance) are DATE, because
--     the reminder windows compare them with 'yyyy-mm-dd' texts;
--   * the text "0" is the data layer's marker for an absent text;
--   * no foreign keys: rows may refer to rows that are gone, and every join that crosses
--     tables is a LEFT JOIN.
--
-- Name clashes matter in the reminder statements, which select m.*, me.* and c.*
-- together and read columns by name: MemberInfo, MemberExInfo and CarInfo share no
-- column name except id (MemberInfo has no telephone, MemberExInfo no realName, CarInfo
-- no state or serial).
--
-- Table names are resolved without regard to letter case (lower_case_table_names=1):
-- the statements say both MemberCard and membercard.
-- ---------------------------------------------------------------------------------------


-- System parameters shared by the whole membership system, one row per (PName, SysId).
-- Read only by the service: SELECT PValue FROM SysParam WHERE PName= :Name And SysId = :ID
-- Not unique on (PName, SysId): with duplicates the first row returned wins.
CREATE TABLE IF NOT EXISTS `SysParam` (
  `id`          INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `PName`       VARCHAR(64) NOT NULL,
  `SysId`       INT NOT NULL DEFAULT 0,
  `PValue`      TEXT NULL,
  `description` VARCHAR(255) NULL,
  KEY `ix_sysparam_name` (`PName`, `SysId`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Card types (membership levels). regulation holds the card type's rules as XML text.
CREATE TABLE IF NOT EXISTS `CardType` (
  `id`          INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `name`        VARCHAR(50) NULL,
  `level`       INT NOT NULL DEFAULT 0,
  `price`       DOUBLE NOT NULL DEFAULT 0,
  `deposit`     DOUBLE NOT NULL DEFAULT 0,
  `validity`    INT NOT NULL DEFAULT 0,
  `regulation`  MEDIUMTEXT NULL,
  `image`       MEDIUMBLOB NULL,
  `description` VARCHAR(255) NULL,
  `state`       INT NOT NULL DEFAULT 0,
  KEY `ix_cardtype_level` (`level`),
  KEY `ix_cardtype_name` (`name`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Member cards with their balances. checksum is the decimal text of the card checksum,
-- refreshed on every stored change; validity is always written as NULL by the service.
CREATE TABLE IF NOT EXISTS `MemberCard` (
  `id`                INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `serial`            VARCHAR(32) NULL,
  `password`          INT NOT NULL DEFAULT 0,
  `cardCategoryId`    INT NOT NULL DEFAULT 0,
  `cardTypeId`        INT NOT NULL DEFAULT 0,
  `referralCardId`    INT NOT NULL DEFAULT 0,
  `memberId`          INT NOT NULL DEFAULT 0,
  `activeDate`        DATETIME NULL,
  `validity`          DATETIME NULL,
  `activeSubbranchId` INT NOT NULL DEFAULT 0,
  `destroyDate`       DATETIME NULL,
  `expenseNumber`     INT NOT NULL DEFAULT 0,
  `rechargeMoney`     DOUBLE NOT NULL DEFAULT 0,
  `money`             DOUBLE NOT NULL DEFAULT 0,
  `totalIntegral`     INT NOT NULL DEFAULT 0,
  `integral`          INT NOT NULL DEFAULT 0,
  `presentTotal`      DOUBLE NOT NULL DEFAULT 0,
  `present`           DOUBLE NOT NULL DEFAULT 0,
  `checksum`          VARCHAR(20) NULL,
  `lastRechargeDate`  DATETIME NULL,
  `lastExpenseDate`   DATETIME NULL,
  `description`       VARCHAR(255) NULL,
  `state`             INT NOT NULL DEFAULT 0,
  `useNumber`         INT NOT NULL DEFAULT 0,
  `price`             DOUBLE NOT NULL DEFAULT 0,
  `deposit`           DOUBLE NOT NULL DEFAULT 0,
  KEY `ix_membercard_cardtype` (`cardTypeId`),
  KEY `ix_membercard_member` (`memberId`),
  KEY `ix_membercard_serial` (`serial`),
  KEY `ix_membercard_referral` (`referralCardId`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Card log: one row per change made to a card (type 43 referral integral, 44 card type
-- raised by an account rule, 45 daily automatic card-type change, others by the counter
-- programs). The column refrenceId is spelled this way throughout the system.
CREATE TABLE IF NOT EXISTS `MemberCardLog` (
  `id`            INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `memberId`      INT NOT NULL DEFAULT 0,
  `cardId`        INT NOT NULL DEFAULT 0,
  `cardSerial`    VARCHAR(32) NULL,
  `type`          INT NOT NULL DEFAULT 0,
  `refrenceId`    INT NOT NULL DEFAULT 0,
  `datetime`      DATETIME NULL,
  `subbranchId`   INT NOT NULL DEFAULT 0,
  `workstationId` INT NOT NULL DEFAULT 0,
  `operatorId`    INT NOT NULL DEFAULT 0,
  `description`   VARCHAR(255) NULL,
  KEY `ix_membercardlog_card` (`cardId`, `datetime`),
  KEY `ix_membercardlog_datetime` (`datetime`),
  KEY `ix_membercardlog_member` (`memberId`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Integral (points) movements. accountIntegral is the card's integral after the movement.
-- Types 11, 12 and 13 are the referral credits for an opened, recharged and spending card.
CREATE TABLE IF NOT EXISTS `memberintegral` (
  `id`              INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `memberId`        INT NOT NULL DEFAULT 0,
  `cardId`          INT NOT NULL DEFAULT 0,
  `cardSerial`      VARCHAR(32) NULL,
  `referenceId`     INT NOT NULL DEFAULT 0,
  `workstationId`   INT NOT NULL DEFAULT 0,
  `operatorId`      INT NOT NULL DEFAULT 0,
  `type`            INT NOT NULL DEFAULT 0,
  `money`           DOUBLE NOT NULL DEFAULT 0,
  `integral`        INT NOT NULL DEFAULT 0,
  `accountIntegral` INT NOT NULL DEFAULT 0,
  `datetime`        DATETIME NULL,
  `description`     VARCHAR(255) NULL,
  `state`           INT NOT NULL DEFAULT 0,
  KEY `ix_memberintegral_card` (`cardId`, `datetime`),
  KEY `ix_memberintegral_member` (`memberId`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Members. realName is Base64 text when contact data is stored encoded; sex is the
-- text used in the greeting of reminder messages.
CREATE TABLE IF NOT EXISTS `MemberInfo` (
  `id`           INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `serial`       VARCHAR(32) NULL,
  `realName`     VARCHAR(100) NULL,
  `sex`          VARCHAR(4) NULL,
  `subbranchId`  INT NOT NULL DEFAULT 0,
  `registerDate` DATETIME NULL,
  `state`        INT NOT NULL DEFAULT 0,
  KEY `ix_memberinfo_serial` (`serial`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Extended personal data of a member, one row per member with the member's id.
-- idCard, mobile and telephone have their last six digits scrambled when contact data is
-- stored encoded; telephone is the number reminders are sent to.
CREATE TABLE IF NOT EXISTS `MemberExInfo` (
  `id`            INT NOT NULL PRIMARY KEY,
  `idCard`        VARCHAR(32) NULL,
  `profession`    VARCHAR(50) NULL,
  `email`         VARCHAR(100) NULL,
  `mobile`        VARCHAR(32) NULL,
  `telephone`     VARCHAR(32) NULL,
  `birthday`      DATE NULL,
  `education`     VARCHAR(50) NULL,
  `interest`      VARCHAR(100) NULL,
  `hometown`      VARCHAR(100) NULL,
  `nation`        VARCHAR(50) NULL,
  `isMarriage`    TINYINT(1) NOT NULL DEFAULT 0,
  `zipCode`       VARCHAR(10) NULL,
  `image`         MEDIUMBLOB NULL,
  `driverLicense` VARCHAR(32) NULL,
  `driverExpire`  DATE NULL,
  `address`       VARCHAR(200) NULL,
  `receiveNotify` INT NOT NULL DEFAULT 3,
  `description`   VARCHAR(255) NULL
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Cars of the members. maintainDate is the date of the next maintenance.
CREATE TABLE IF NOT EXISTS `CarInfo` (
  `id`           INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `memberId`     INT NOT NULL DEFAULT 0,
  `carNo`        VARCHAR(20) NULL,
  `brand`        VARCHAR(50) NULL,
  `model`        VARCHAR(50) NULL,
  `color`        VARCHAR(20) NULL,
  `frameNo`      VARCHAR(32) NULL,
  `engineNo`     VARCHAR(32) NULL,
  `buyDate`      DATE NULL,
  `mileage`      INT NOT NULL DEFAULT 0,
  `maintainDate` DATE NULL,
  `description`  VARCHAR(255) NULL,
  KEY `ix_carinfo_member` (`memberId`),
  KEY `ix_carinfo_maintain` (`maintainDate`),
  KEY `ix_carinfo_carno` (`carNo`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Insurance policies of the cars: name is the kind of insurance, provider the insurer,
-- deadline the day the policy runs out.
CREATE TABLE IF NOT EXISTS `Insurance` (
  `id`          INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `carId`       INT NOT NULL DEFAULT 0,
  `name`        VARCHAR(50) NULL,
  `provider`    VARCHAR(100) NULL,
  `policyNo`    VARCHAR(50) NULL,
  `money`       DOUBLE NOT NULL DEFAULT 0,
  `startDate`   DATE NULL,
  `deadline`    DATE NULL,
  `description` VARCHAR(255) NULL,
  KEY `ix_insurance_car` (`carId`),
  KEY `ix_insurance_deadline` (`deadline`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Expenses (bills) settled on member cards. The spending of a card is the sum of
-- totalMoney - deductions; the inactivity check sums totalMoney over a date window.
CREATE TABLE IF NOT EXISTS `MemberExpense` (
  `id`            INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `serial`        VARCHAR(32) NULL,
  `memberId`      INT NOT NULL DEFAULT 0,
  `memberCardId`  INT NOT NULL DEFAULT 0,
  `cardSerial`    VARCHAR(32) NULL,
  `sumMoney`      DOUBLE NOT NULL DEFAULT 0,
  `rebate`        DOUBLE NOT NULL DEFAULT 0,
  `totalMoney`    DOUBLE NOT NULL DEFAULT 0,
  `deductions`    DOUBLE NOT NULL DEFAULT 0,
  `returnMoney`   DOUBLE NOT NULL DEFAULT 0,
  `integral`      INT NOT NULL DEFAULT 0,
  `isAccident`    TINYINT(1) NOT NULL DEFAULT 0,
  `subbranchId`   INT NOT NULL DEFAULT 0,
  `workstationId` INT NOT NULL DEFAULT 0,
  `operatorId`    INT NOT NULL DEFAULT 0,
  `datetime`      DATETIME NULL,
  `description`   VARCHAR(255) NULL,
  `state`         INT NOT NULL DEFAULT 0,
  KEY `ix_memberexpense_card` (`memberCardId`, `datetime`),
  KEY `ix_memberexpense_datetime` (`datetime`),
  KEY `ix_memberexpense_member` (`memberId`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Presents given on member cards; type 6 are the presents for accumulated spending.
CREATE TABLE IF NOT EXISTS `MemberPresent` (
  `id`            INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `memberId`      INT NOT NULL DEFAULT 0,
  `cardId`        INT NOT NULL DEFAULT 0,
  `cardSerial`    VARCHAR(32) NULL,
  `type`          INT NOT NULL DEFAULT 0,
  `referenceId`   INT NOT NULL DEFAULT 0,
  `commodityId`   INT NOT NULL DEFAULT 0,
  `number`        INT NOT NULL DEFAULT 0,
  `money`         DOUBLE NOT NULL DEFAULT 0,
  `datetime`      DATETIME NULL,
  `subbranchId`   INT NOT NULL DEFAULT 0,
  `workstationId` INT NOT NULL DEFAULT 0,
  `operatorId`    INT NOT NULL DEFAULT 0,
  `description`   VARCHAR(255) NULL,
  `state`         INT NOT NULL DEFAULT 0,
  KEY `ix_memberpresent_card` (`cardId`, `type`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Commodity catalogue. integral is the integral earned per unit sold.
CREATE TABLE IF NOT EXISTS `Commodity` (
  `id`             INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `serial`         VARCHAR(32) NULL,
  `name`           VARCHAR(100) NULL,
  `categoryId`     INT NOT NULL DEFAULT 0,
  `shortcut`       VARCHAR(32) NULL,
  `unit`           VARCHAR(20) NULL,
  `brand`          VARCHAR(50) NULL,
  `model`          VARCHAR(50) NULL,
  `specification`  VARCHAR(100) NULL,
  `manufacture`    VARCHAR(100) NULL,
  `price`          DOUBLE NOT NULL DEFAULT 0,
  `storage`        DOUBLE NOT NULL DEFAULT 0,
  `integral`       INT NOT NULL DEFAULT 0,
  `memberMinlevel` INT NOT NULL DEFAULT 0,
  `minStorage`     DOUBLE NOT NULL DEFAULT 0,
  `maxStorage`     DOUBLE NOT NULL DEFAULT 0,
  `image`          MEDIUMBLOB NULL,
  `description`    VARCHAR(255) NULL,
  `state`          INT NOT NULL DEFAULT 0,
  `custCol1`       VARCHAR(100) NULL,
  `custCol2`       VARCHAR(100) NULL,
  `custCol3`       VARCHAR(100) NULL,
  `custCol4`       VARCHAR(100) NULL,
  `custCol5`       VARCHAR(100) NULL,
  `isIntegral`     TINYINT(1) NOT NULL DEFAULT 1,
  `barcode`        VARCHAR(50) NULL,
  `color`          VARCHAR(20) NULL,
  KEY `ix_commodity_category` (`categoryId`),
  KEY `ix_commodity_serial` (`serial`),
  KEY `ix_commodity_barcode` (`barcode`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Commodity categories, a tree by parentId. The expense rules treat categories of type 3
-- apart.
CREATE TABLE IF NOT EXISTS `CommCategory` (
  `id`          INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `name`        VARCHAR(50) NULL,
  `parentId`    INT NOT NULL DEFAULT 0,
  `type`        INT NOT NULL DEFAULT 0,
  `prefix`      VARCHAR(20) NULL,
  `description` VARCHAR(255) NULL,
  `state`       INT NOT NULL DEFAULT 0,
  KEY `ix_commcategory_parent` (`parentId`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Member prices of commodities (commodityId set, packageId 0) and of packages
-- (packageId set, commodityId 0) per card type; rebate is a percentage.
CREATE TABLE IF NOT EXISTS `CommMemberPrice` (
  `id`          INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `commodityId` INT NOT NULL DEFAULT 0,
  `packageId`   INT NOT NULL DEFAULT 0,
  `cardTypeId`  INT NOT NULL DEFAULT 0,
  `price`       DOUBLE NOT NULL DEFAULT 0,
  `rebate`      INT NOT NULL DEFAULT 100,
  `integral`    INT NOT NULL DEFAULT -1,
  `mayBuy`      TINYINT(1) NOT NULL DEFAULT 1,
  KEY `ix_commmemberprice_commodity` (`commodityId`, `cardTypeId`),
  KEY `ix_commmemberprice_package` (`packageId`, `cardTypeId`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Packages: bundles of commodities and gifts sold at one price.
CREATE TABLE IF NOT EXISTS `PackageComm` (
  `id`             INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `serial`         VARCHAR(32) NULL,
  `name`           VARCHAR(100) NULL,
  `categoryId`     INT NOT NULL DEFAULT 0,
  `shortcut`       VARCHAR(32) NULL,
  `unit`           VARCHAR(20) NULL,
  `price`          DOUBLE NOT NULL DEFAULT 0,
  `barcode`        VARCHAR(50) NULL,
  `isIntegral`     TINYINT(1) NOT NULL DEFAULT 1,
  `integral`       INT NOT NULL DEFAULT 0,
  `memberMinlevel` INT NOT NULL DEFAULT 0,
  `storage`        INT NOT NULL DEFAULT 0,
  `startDatetime`  DATETIME NULL,
  `endDatetime`    DATETIME NULL,
  `deadline`       DATETIME NULL,
  `validity`       INT NOT NULL DEFAULT 0,
  `image`          MEDIUMBLOB NULL,
  `description`    VARCHAR(255) NULL,
  `state`          INT NOT NULL DEFAULT 0,
  KEY `ix_packagecomm_category` (`categoryId`),
  KEY `ix_packagecomm_serial` (`serial`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;


-- Lines of a package: a commodity (commodityId) or a gift (giftId). number is read as a
-- real and truncated, so it is kept as DOUBLE.
CREATE TABLE IF NOT EXISTS `PackageDetail` (
  `id`           INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `packageId`    INT NOT NULL DEFAULT 0,
  `commodityId`  INT NOT NULL DEFAULT 0,
  `giftId`       INT NOT NULL DEFAULT 0,
  `packagePrice` DOUBLE NOT NULL DEFAULT 0,
  `number`       DOUBLE NOT NULL DEFAULT 0,
  `present`      TINYINT(1) NOT NULL DEFAULT 0,
  `description`  VARCHAR(255) NULL,
  KEY `ix_packagedetail_package` (`packageId`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;
