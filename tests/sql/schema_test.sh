#!/usr/bin/env bash
# Schema test of sql/membership.sql.
#
# Creates a scratch database on a MariaDB server, loads the membership tables into it and
# runs every SQL statement of the service (with literal values bound in place of the
# positional parameters) against a few fixture rows, so that a missing column, a wrong type
# or a broken key shows up here and not in the daily run.
#
# Server settings (defaults match scripts/mariadb-sandbox):
#   AB_DB_HOST (127.0.0.1)  AB_DB_PORT (3399)  AB_DB_USER (root)  AB_DB_PASSWORD (907358)
#   AB_SCHEMA_SQL           the schema file (default: sql/membership.sql of this tree)
# The scratch database is dropped on every exit path. Exit status 0 when every check passes.
set -uo pipefail
shopt -u patsub_replacement 2>/dev/null || true

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

DB_HOST=${AB_DB_HOST:-127.0.0.1}
DB_PORT=${AB_DB_PORT:-3399}
DB_USER=${AB_DB_USER:-root}
DB_PASSWORD=${AB_DB_PASSWORD:-907358}
SCHEMA=${AB_SCHEMA_SQL:-$root/sql/membership.sql}
DB="ab_schema_$$_${RANDOM}"

CLIENT=$(command -v mariadb || command -v mysql || true)
TAB=$'\t'

failures=0
checks=0
created=0
workdir=$(mktemp -d "${TMPDIR:-/tmp}/ab_schema.XXXXXX")
export MYSQL_PWD="$DB_PASSWORD"

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

pass() {
  checks=$((checks + 1))
}

# The mariadb client on the test server; extra arguments go before the statement input.
sql_client() {
  "$CLIENT" --no-defaults --protocol=tcp -h"$DB_HOST" -P"$DB_PORT" -u"$DB_USER" \
    --default-character-set=gbk --batch --raw "$@"
}

cleanup() {
  local rc=$?
  if ((created)); then
    if ! sql_client -e "DROP DATABASE IF EXISTS \`$DB\`" >/dev/null 2>&1; then
      echo "warning: could not drop the scratch database $DB" >&2
    fi
  fi
  rm -rf "$workdir"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# bind SQL VALUE...: binds the SQL literals given to the statement's parameters by position,
# the way the data layer does: the i-th parameter (":p0", ":Name", ... whatever its name)
# takes the i-th value. Bound values are not scanned again.
bind() {
  local rest=$1 out="" k=0
  shift
  local vals=("$@")
  local re='^([^:]*(:[^A-Za-z:][^:]*)*):([A-Za-z][A-Za-z0-9_]*)(.*)$'
  while [[ "$rest" =~ $re ]]; do
    if ((k >= ${#vals[@]})); then
      break
    fi
    out+="${BASH_REMATCH[1]}${vals[k]}"
    rest=${BASH_REMATCH[4]}
    k=$((k + 1))
  done
  printf '%s' "$out$rest"
}

# run NAME SQL: runs the statement in the scratch database; its output (with a header
# line) goes to $workdir/NAME.out. Fails the check when the statement fails or a
# placeholder was left unbound.
run() {
  local name=$1 sql=$2
  if [[ "$sql" =~ :(p[0-9]+|Name|ID)([^A-Za-z0-9_]|$) ]]; then
    fail "$name: unbound parameter in: $sql"
    return 1
  fi
  if ! printf '%s\n' "$sql" | sql_client "$DB" >"$workdir/$name.out" 2>"$workdir/$name.err"; then
    fail "$name: statement failed: $(cat "$workdir/$name.err")"$'\n'"  SQL: $sql"
    return 1
  fi
  pass
  return 0
}

# rows NAME: number of result rows of the last run of NAME (header excluded).
rows() {
  local n
  n=$(wc -l <"$workdir/$1.out")
  ((n > 0)) && n=$((n - 1))
  echo "$n"
}

# value NAME COLUMN [ROW]: the text of COLUMN in ROW (1-based, default 1) of NAME's result;
# the first column of that name when the result has several.
value() {
  awk -F'\t' -v col="$2" -v row="${3:-1}" '
    NR == 1 { for (i = 1; i <= NF; i++) if ($i == col && !c) c = i; next }
    NR == row + 1 { if (c) print $c; exit }' "$workdir/$1.out"
}

expect_rows() {
  local name=$1 want=$2 got
  got=$(rows "$name")
  if [ "$got" != "$want" ]; then
    fail "$name: expected $want row(s), got $got"$'\n'"$(cat "$workdir/$name.out")"
  else
    pass
  fi
}

# expect_columns NAME COLUMN...: NAME's result has every column named.
expect_columns() {
  local name=$1 col
  shift
  for col in "$@"; do
    if head -n1 "$workdir/$name.out" | tr '\t' '\n' | grep -qx -- "$col"; then
      pass
    else
      fail "$name: result has no column $col"
    fi
  done
}

expect_value() {
  local name=$1 col=$2 want=$3 row=${4:-1} got
  got=$(value "$name" "$col" "$row")
  if [ "$got" != "$want" ]; then
    fail "$name: column $col of row $row: expected '$want', got '$got'"
  else
    pass
  fi
}

# --- preconditions --------------------------------------------------------------------------

[ -n "$CLIENT" ] || { echo "FAIL: no mariadb/mysql client found" >&2; exit 1; }
[ -r "$SCHEMA" ] || { echo "FAIL: schema file not readable: $SCHEMA" >&2; exit 1; }

if ! sql_client -e 'SELECT 1' >/dev/null 2>"$workdir/connect.err"; then
  echo "FAIL: cannot connect to $DB_USER@$DB_HOST:$DB_PORT: $(cat "$workdir/connect.err")" >&2
  exit 1
fi

# The file is pure ASCII or UTF-8 with a byte-order mark; its first two lines are the
# database statements that the setup dialog and the test support rely on.
if LC_ALL=C grep -q $'[\x80-\xff]' "$SCHEMA" && [ "$(head -c3 "$SCHEMA" | od -An -tx1 | tr -d ' \n')" != "efbbbf" ]; then
  fail "schema file holds non-ASCII bytes but no UTF-8 byte-order mark"
else
  pass
fi
line1=$(sed -n '1{s/^\xef\xbb\xbf//;s/\r$//;p}' "$SCHEMA")
line2=$(sed -n '2{s/\r$//;p}' "$SCHEMA")
if [ "$line1" != 'CREATE DATABASE IF NOT EXISTS `RudUvivizUzevid` DEFAULT CHARACTER SET gbk;' ]; then
  fail "line 1 of the schema is not the CREATE DATABASE statement: $line1"
else
  pass
fi
if [ "$line2" != 'USE `RudUvivizUzevid`;' ]; then
  fail "line 2 of the schema is not the USE statement: $line2"
else
  pass
fi
if [ "$(grep -ciE '^[[:space:]]*USE[[:space:]]' "$SCHEMA")" != 1 ]; then
  fail "the schema must hold exactly one USE statement"
else
  pass
fi

# --- load -----------------------------------------------------------------------------------

if ! sql_client -e "CREATE DATABASE \`$DB\` DEFAULT CHARACTER SET gbk" 2>"$workdir/create.err"; then
  echo "FAIL: cannot create the scratch database $DB: $(cat "$workdir/create.err")" >&2
  exit 1
fi
created=1

if ! sed -e '1s/^\xef\xbb\xbf//' \
  -e '/^[[:space:]]*CREATE[[:space:]]\+DATABASE[[:space:]]/Id' \
  -e '/^[[:space:]]*USE[[:space:]]\+`/Id' "$SCHEMA" |
  sql_client "$DB" >/dev/null 2>"$workdir/load.err"; then
  echo "FAIL: loading $SCHEMA failed: $(cat "$workdir/load.err")" >&2
  exit 1
fi

# --- tables ---------------------------------------------------------------------------------

tables=(MemberCard CardType MemberCardLog memberintegral MemberInfo MemberExInfo CarInfo
  Insurance MemberExpense MemberPresent Commodity CommCategory CommMemberPrice PackageComm
  PackageDetail SysParam)

sql_client -N -e 'SHOW TABLES' "$DB" | tr '[:upper:]' '[:lower:]' | sort >"$workdir/tables.txt"
for t in "${tables[@]}"; do
  lt=$(tr '[:upper:]' '[:lower:]' <<<"$t")
  if ! grep -qx "$lt" "$workdir/tables.txt"; then
    fail "table $t is missing"
    continue
  fi
  pass
  info=$(sql_client -N -e "SELECT ENGINE, TABLE_COLLATION FROM information_schema.TABLES
                            WHERE TABLE_SCHEMA = '$DB' AND LOWER(TABLE_NAME) = '$lt'")
  engine=${info%%"$TAB"*}
  collation=${info#*"$TAB"}
  if [ "$engine" != InnoDB ]; then
    fail "table $t uses engine '$engine', not InnoDB"
  else
    pass
  fi
  if [[ "$collation" != gbk_* ]]; then
    fail "table $t has collation '$collation', not a gbk one"
  else
    pass
  fi
  nongbk=$(sql_client -N -e "SELECT GROUP_CONCAT(COLUMN_NAME) FROM information_schema.COLUMNS
                              WHERE TABLE_SCHEMA = '$DB' AND LOWER(TABLE_NAME) = '$lt'
                                AND CHARACTER_SET_NAME IS NOT NULL AND CHARACTER_SET_NAME <> 'gbk'")
  if [ -n "$nongbk" ] && [ "$nongbk" != NULL ]; then
    fail "table $t has text columns outside gbk: $nongbk"
  else
    pass
  fi
done
extra=$(comm -23 "$workdir/tables.txt" <(printf '%s\n' "${tables[@]}" | tr '[:upper:]' '[:lower:]' | sort))
if [ -n "$extra" ]; then
  echo "note: the schema has further tables: $extra" >&2
fi
if ((failures)); then
  echo "schema test: $failures failure(s) in the table checks; statements not run" >&2
  exit 1
fi

# --- fixture rows ---------------------------------------------------------------------------

run fixture "
INSERT INTO SysParam (PName, SysId, PValue) VALUES
  ('smsBirthday', 0, 'True'), ('smsBirthday', 1, '3'), ('msg_template_birthday', 0, '');
INSERT INTO CardType (id, name, level, price, deposit, validity, regulation, image, description, state) VALUES
  (1, 'Gold', 2, 100, 10, 12, '<?xml version=\"1.0\" encoding=\"GBK\"?><Rules/>', NULL, 'gold card', 0),
  (2, 'Silver', 1, 50, 5, 12, '0', X'89504E47', 'silver card', -1),
  (3, 'Plain', 3, 0, 0, 0, NULL, NULL, NULL, 0);
INSERT INTO MemberInfo (id, serial, realName, sex) VALUES (1, 'M001', 'Zhang', 'F'), (2, 'M002', 'Li', 'M');
INSERT INTO MemberExInfo (id, telephone, mobile, birthday, isMarriage, image, driverExpire, receiveNotify)
  VALUES (1, '13800000001', '13900000001', '1980-01-02', 1, X'FFD8FF', '2030-05-01', 3),
         (2, '13800000002', '0', '1975-06-15', 0, NULL, NULL, 3);
INSERT INTO MemberCard (id, serial, cardTypeId, memberId, activeSubbranchId, money) VALUES
  (1, 'C001', 1, 1, 5, 10), (2, 'C002', 1, 2, 6, 0), (3, 'C003', 1, 2, 6, 0), (4, 'C004', 2, 2, 6, 0);
INSERT INTO CarInfo (id, memberId, carNo, brand, maintainDate) VALUES
  (1, 1, 'A12345', 'VW', '2025-01-03'), (2, 2, 'B54321', 'Audi', '2025-01-04');
INSERT INTO Insurance (id, carId, name, provider, deadline) VALUES
  (1, 1, 'Liability', 'PICC', '2025-01-03'), (2, 99, 'Theft', 'CPIC', '2024-12-31'),
  (3, 2, 'Glass', 'PICC', '2025-02-01');
INSERT INTO MemberCardLog (memberId, cardId, cardSerial, type, datetime) VALUES
  (2, 2, 'C002', 1, '2023-12-30 00:00:00'), (2, 2, 'C002', 1, '2024-12-30 00:00:00'),
  (1, 1, 'C001', 1, '2024-12-30 00:00:01');
INSERT INTO MemberExpense (memberId, memberCardId, totalMoney, deductions, datetime) VALUES
  (2, 3, 500, 20, '2024-06-01 10:00:00'), (2, 3, 100, 0, '2022-01-01 10:00:00');
INSERT INTO MemberPresent (memberId, cardId, type, datetime) VALUES
  (1, 1, 6, NOW()), (1, 1, 6, NOW()), (1, 1, 5, NOW()), (2, 2, 6, NOW());
INSERT INTO CommCategory (id, name, parentId, type, prefix, description, state) VALUES
  (7, 'Oil', 0, 3, 'OL', NULL, 0);
INSERT INTO Commodity (id, serial, name, categoryId, price, integral, image, isIntegral, custCol5) VALUES
  (1, 'P001', 'Engine oil', 7, 88.5, 2, X'0102', 1, 'x'), (2, 'P002', 'Filter', 7, 20, 0, NULL, 0, NULL);
INSERT INTO PackageComm (id, serial, name, price, integral, startDatetime, deadline, validity) VALUES
  (1, 'K001', 'Service pack', 199, 10, '2024-01-01 00:00:00', '2025-12-31 00:00:00', 30),
  (2, 'K002', 'Empty pack', 0, 0, NULL, NULL, 0);
INSERT INTO PackageDetail (packageId, commodityId, giftId, packagePrice, number, present) VALUES
  (1, 1, 0, 80, 2.9, 0), (1, 0, 5, 0, 1, 1);
INSERT INTO CommMemberPrice (commodityId, packageId, cardTypeId, price, rebate, integral, mayBuy) VALUES
  (1, 0, 1, 80, 90, 3, 1), (0, 1, 1, 180, 100, -1, 0);
" || exit 1

# --- system parameters ----------------------------------------------------------------------

sysparam="SELECT PValue FROM SysParam WHERE PName= :Name And SysId = :ID"
run sysparam_switch "$(bind "$sysparam" "'smsBirthday'" 0)" &&
  expect_value sysparam_switch PValue True
run sysparam_days "$(bind "$sysparam" "'smsBirthday'" 1)" &&
  expect_value sysparam_days PValue 3
run sysparam_empty "$(bind "$sysparam" "'msg_template_birthday'" 0)" &&
  expect_rows sysparam_empty 1
run sysparam_missing "$(bind "$sysparam" "'smsLost'" 0)" &&
  expect_rows sysparam_missing 0

# --- reminders ------------------------------------------------------------------------------
# Window of 3 days on 2024-12-30: lower bound 2024-12-30, upper bound 2025-01-03.

lo="'2024-12-30'"
hi="'2025-01-03'"

birthdays="SELECT m.id AS personId,m.*,me.*,mc.activeSubbranchId FROM MemberInfo m
LEFT JOIN MemberExInfo me ON me.id = m.id
LEFT JOIN MemberCard mc ON mc.memberId=m.id
WHERE ((concat(year(date(:p0)) , DATE_FORMAT(me.birthday, '-%m-%d')) between :p1 and :p2)
or
(concat(year(date(:p3)) , DATE_FORMAT(me.birthday, '-%m-%d')) between :p4 and :p5))"
if run birthdays "$(bind "$birthdays" "$lo" "$lo" "$hi" "$hi" "$lo" "$hi")"; then
  expect_rows birthdays 1
  expect_value birthdays personId 1
  expect_columns birthdays telephone realName sex activeSubbranchId
  expect_value birthdays telephone 13800000001
fi

insurance="SELECT i.name AS ICCategory, i.provider AS ICCompany,
i.deadline AS ICDueDate, m.id AS personId,m.*,me.telephone,me.mobile,c.*,mc.activeSubbranchId
FROM Insurance i
LEFT JOIN CarInfo c ON c.id=i.carId
LEFT JOIN MemberInfo m ON m.id=c.memberId
LEFT JOIN MemberExInfo me ON me.id=m.id
LEFT JOIN MemberCard mc ON mc.memberId=m.id
WHERE i.deadline between :p0 and :p1"
if run insurance "$(bind "$insurance" "$lo" "$hi")"; then
  # Insurance 1 (car 1, member 1 with one card) and insurance 2 (car missing).
  expect_rows insurance 2
  expect_columns insurance telephone realName sex brand carNo ICCompany ICCategory ICDueDate
  run insurance_sorted "$(bind "$insurance" "$lo" "$hi") ORDER BY i.id"
  expect_value insurance_sorted ICCompany PICC 1
  expect_value insurance_sorted ICDueDate 2025-01-03 1
  expect_value insurance_sorted carNo A12345 1
  expect_value insurance_sorted personId NULL 2
fi

maintenance="SELECT m.id AS personId,m.*,me.telephone,me.mobile,c.*,mc.activeSubbranchId
FROM CarInfo c
LEFT JOIN MemberInfo m ON m.id=c.memberId
LEFT JOIN MemberExInfo me ON me.id=m.id
LEFT JOIN MemberCard mc ON mc.memberId=m.id
WHERE c.maintainDate between :p0 and :p1"
if run maintenance "$(bind "$maintenance" "$lo" "$hi")"; then
  expect_rows maintenance 1
  expect_value maintenance maintainDate 2025-01-03
  expect_value maintenance brand VW
  expect_value maintenance telephone 13800000001
fi

# --- member cards ---------------------------------------------------------------------------

run getcard "$(bind "SELECT * FROM membercard WHERE id=:p0" 1)" && {
  expect_rows getcard 1
  expect_columns getcard id serial password cardCategoryId cardTypeId referralCardId memberId activeDate \
    validity activeSubbranchId destroyDate expenseNumber rechargeMoney money totalIntegral \
    integral presentTotal present checksum lastRechargeDate lastExpenseDate description state \
    useNumber price deposit
}

updatecard="update membercard set serial = :p0 ,password = :p1 ,cardCategoryId = :p2 ,cardTypeId = :p3 ,memberId = :p4 ,activeDate = :p5 ,validity = :p6 ,activeSubbranchId = :p7 ,destroyDate =:p8 ,expenseNumber = :p9 ,rechargeMoney = :p10 ,money = :p11,totalIntegral = :p12,integral = :p13 ,presentTotal = :p14 ,present = :p15 ,checksum =:p16 ,lastRechargeDate = :p17 ,lastExpenseDate = :p18,description = :p19 ,state = :p20,useNumber = :p21,price=:p22,deposit=:p23 where id =:p24"
if run updatecard "$(bind "$updatecard" "'C001'" 123456 1 2 1 "'2020-05-06 07:08:09'" NULL 5 NULL \
  3 1000.5 12.25 40 30 8.5 2.5 "'3735928559'" "'2024-01-02 03:04:05'" NULL "'note'" 0 1 100 10 1);
  SELECT ROW_COUNT() AS affected;"; then
  expect_value updatecard affected 1
  run getcard_after "SELECT * FROM membercard WHERE id=1"
  expect_value getcard_after cardTypeId 2
  expect_value getcard_after checksum 3735928559
  expect_value getcard_after validity NULL
  expect_value getcard_after lastExpenseDate NULL
  expect_value getcard_after money 12.25
  expect_value getcard_after activeDate "2020-05-06 07:08:09"
  # Put card 1 back into card type 1 for the inactivity check below.
  run restore_card1 "UPDATE membercard SET cardTypeId=1 WHERE id=1"
fi

inactive="SELECT m.* FROM MemberCard m ${TAB}LEFT JOIN (SELECT cardId,COUNT(cardId) AS cu FROM MemberCardLog ${TAB}${TAB}WHERE datetime >= :p0 AND datetime <= :p1 GROUP BY cardId) ml ${TAB}ON ml.cardId=m.id ${TAB}LEFT JOIN (SELECT memberCardId, SUM(totalMoney) AS tmoney FROM MemberExpense ${TAB}${TAB}WHERE datetime >= :p2 AND datetime <= :p3 GROUP BY memberCardId) me ${TAB}ON me.memberCardId=m.id ${TAB}WHERE  m.cardTypeId=:p4 ${TAB}AND (ml.cu IS NULL OR ml.cu < :p5) ${TAB}AND (me.tmoney IS NULL OR me.tmoney < :p6)"
from="'2023-12-30 00:00:00'"
to="'2024-12-30 00:00:00'"
# Card 1: one log row just after the window; card 2: two log rows on the window's edges;
# card 3: 500 spent in the window; card 4: other card type.
if run inactive "$(bind "$inactive" "$from" "$to" "$from" "$to" 1 2 100.0)"; then
  expect_rows inactive 1
  expect_value inactive id 1
fi
if run inactive_zero "$(bind "$inactive" "$from" "$to" "$from" "$to" 1 0 0.0)"; then
  expect_rows inactive_zero 1
fi
if run inactive_wide "$(bind "$inactive" "$from" "$to" "$from" "$to" 1 3 1000.0)"; then
  expect_rows inactive_wide 3
fi

# --- card types -----------------------------------------------------------------------------

run cardtype "$(bind "SELECT * FROM CardType WHERE id=:p0" 1)" && {
  expect_rows cardtype 1
  expect_columns cardtype id name level price deposit validity regulation image description state
  expect_value cardtype name Gold
}
run cardtype_missing "$(bind "SELECT * FROM CardType WHERE id=:p0" 42)" && expect_rows cardtype_missing 0
run cardtypes "SELECT * FROM CardType ORDER BY level" && {
  expect_rows cardtypes 3
  expect_value cardtypes id 2 1
  expect_value cardtypes id 1 2
  expect_value cardtypes id 3 3
}
run cardtype_rules "$(bind "SELECT regulation FROM CardType WHERE id=:p0" 2)" &&
  expect_value cardtype_rules regulation 0
run cardtype_rules_null "$(bind "SELECT regulation FROM CardType WHERE id=:p0" 3)" &&
  expect_value cardtype_rules_null regulation NULL

# --- card log -------------------------------------------------------------------------------

cardlog="insert into membercardlog (memberId,cardId,cardSerial,type,${TAB}${TAB}${TAB}refrenceId,datetime,subbranchId,workstationId,operatorId,description) ${TAB}${TAB}${TAB}values (:p0,:p1,:p2,:p3,:p4,:p5,:p6,:p7,:p8,:p9)"
if run cardlog "$(bind "$cardlog" 1 1 "'C001'" 45 0 "'2025-01-01 11:00:00'" -1 -1 -2 "'Gold'");
  SELECT LAST_INSERT_ID() AS newid;"; then
  newid=$(value cardlog newid)
  [[ "$newid" =~ ^[1-9][0-9]*$ ]] && pass || fail "cardlog: no id generated (got '$newid')"
  run cardlog_row "SELECT * FROM MemberCardLog WHERE id=${newid:-0}"
  expect_value cardlog_row operatorId -2
  expect_value cardlog_row subbranchId -1
  expect_value cardlog_row type 45
fi
run cardlog_null "$(bind "$cardlog" 1 1 "'C001'" 43 7 NULL -1 -1 -2 "'0'");
  SELECT datetime FROM MemberCardLog WHERE id=LAST_INSERT_ID();" &&
  expect_value cardlog_null datetime NULL

# --- members --------------------------------------------------------------------------------

run exinfo "$(bind "select * from memberExInfo where id=:p0" 1)" && {
  expect_rows exinfo 1
  expect_columns exinfo id idCard profession email mobile telephone birthday education interest hometown \
    nation isMarriage zipCode image driverLicense driverExpire address receiveNotify description
  expect_value exinfo birthday 1980-01-02
}
run exinfo_image "SELECT HEX(image) AS img, LENGTH(image) AS len FROM memberExInfo WHERE id=1" &&
  expect_value exinfo_image img FFD8FF
run exinfo_missing "$(bind "select * from memberExInfo where id=:p0" 99)" && expect_rows exinfo_missing 0

# --- commodities and packages ---------------------------------------------------------------

run commodity "$(bind "select * from Commodity where id=:p0" 1)" && {
  expect_rows commodity 1
  expect_columns commodity id serial name categoryId shortcut unit brand model specification manufacture price \
    storage integral memberMinlevel minStorage maxStorage image description state custCol1 \
    custCol2 custCol3 custCol4 custCol5 isIntegral barcode color
  expect_value commodity price 88.5
}
run category "$(bind "SELECT * FROM CommCategory WHERE id=:p1" 7)" && {
  expect_rows category 1
  expect_value category type 3
  expect_columns category id name parentId type prefix description state
}
run commprice "$(bind "SELECT * FROM CommMemberPrice WHERE commodityId=:p0 AND cardTypeId=:p1" 1 1)" && {
  expect_rows commprice 1
  expect_value commprice rebate 90
  expect_columns commprice id commodityId packageId cardTypeId price rebate integral mayBuy
}
run packprice "$(bind "SELECT * FROM CommMemberPrice WHERE packageId=:p0 AND cardTypeId=:p1" 1 1)" && {
  expect_rows packprice 1
  expect_value packprice commodityId 0
  expect_value packprice mayBuy 0
}
run package "$(bind "SELECT * FROM PackageComm WHERE id=:p1" 1)" && {
  expect_rows package 1
  expect_columns package id serial name categoryId shortcut unit price barcode isIntegral integral memberMinlevel \
    storage startDatetime endDatetime deadline validity image description state
}
run details "$(bind "SELECT * FROM PackageDetail WHERE packageId=:p0" 1)" && {
  expect_rows details 2
  expect_value details number 2.9 1
  expect_columns details id packageId commodityId giftId packagePrice number present description
}
run details_empty "$(bind "SELECT * FROM PackageDetail WHERE packageId=:p0" 2)" && expect_rows details_empty 0

# --- expenses, integral, presents -----------------------------------------------------------

totalmoney="SELECT SUM(totalMoney-deductions) AS expTotalMoney ${TAB}${TAB}FROM MemberExpense WHERE memberCardId=:p0"
run totalmoney "$(bind "$totalmoney" 3)" && expect_value totalmoney expTotalMoney 580
run totalmoney_none "$(bind "$totalmoney" 1)" && expect_value totalmoney_none expTotalMoney NULL

integral="INSERT INTO memberintegral (memberId,cardId,cardSerial,referenceId,${TAB}   workstationId,operatorId,type,money,integral,accountIntegral,${TAB}   datetime,description,state) ${TAB}   VALUES (:p0,:p1,:p2,:p3,:p4,:p5,:p6,:p7,:p8,:p9,:p10,:p11,0)"
if run integral "$(bind "$integral" 1 1 "'C001'" 17 -1 -2 11 0.0 25 55 "'2025-01-01 11:00:00'" "'0'");
  SELECT LAST_INSERT_ID() AS newid;"; then
  newid=$(value integral newid)
  [[ "$newid" =~ ^[1-9][0-9]*$ ]] && pass || fail "integral: no id generated (got '$newid')"
fi
run integral_null "$(bind "$integral" 1 1 "'C001'" 17 -1 -2 12 0.0 5 60 NULL "'0'");
  SELECT datetime, state FROM memberintegral WHERE id=LAST_INSERT_ID();" && {
  expect_value integral_null datetime NULL
  expect_value integral_null state 0
}

presents="SELECT Count(id) AS CU FROM MemberPresent WHERE type=:p0 AND cardId=:p1"
run presents "$(bind "$presents" 6 1)" && expect_value presents CU 2
run presents_none "$(bind "$presents" 6 3)" && expect_value presents_none CU 0

# --- server statements of the service -------------------------------------------------------

run now "SELECT Now()"
run processlist "show processlist"
run pidfile "show variables like 'pid_file'" && expect_rows pidfile 1

# --- table names in any letter case ---------------------------------------------------------

run lettercase "SELECT COUNT(*) AS n FROM MEMBERCARD; SELECT COUNT(*) AS n FROM MemberCard; SELECT COUNT(*) AS n FROM membercard;"

if ((failures)); then
  echo "schema test: $failures failure(s), $checks check(s) passed" >&2
  exit 1
fi
echo "schema test: all $checks checks passed (database $DB on $DB_HOST:$DB_PORT)"
exit 0
