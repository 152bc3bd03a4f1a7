#!/usr/bin/env bash
# Backup and restore benchmark: our backup against mariadb-dump piped into gzip -9 and into
# pigz -9 -z, and our restore against zcat | mariadb, on a generated membership database.
#
#   bench/backup/run.sh [BUILD_DIR]
#
# Environment: AB_BENCH_PORT (3431), AB_BENCH_DIR (/tmp/ab-bench: sandbox, home, outputs),
# AB_BENCH_SCALE (1: 300000 members, about 330 MB of dump text) or AB_BENCH_MEMBERS (the member
# count itself), AB_BENCH_KEEP=1 leaves the sandbox running at the end. The data is generated
# once and kept in the sandbox.
#
# The sandbox's buffer pool is enlarged so that the data is in memory, as on a shop's server
# that has been running for a while. Every figure comes from this one run on this machine.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
port=${AB_BENCH_PORT:-3431}
dir=${AB_BENCH_DIR:-/tmp/ab-bench}
scale=${AB_BENCH_SCALE:-1}
cores=$(nproc)
sbx=$dir/sandbox
home=$dir/home
out=$dir/out
db=abbench
small=abbench_small

ninja -C "$build" -j2 autobackup bench_backup >/dev/null
autobackup=$build/src/app/console/autobackup
bench=$build/bench/backup/bench_backup

mkdir -p "$dir" "$home" "$out"
"$root/scripts/mariadb-sandbox" up "$sbx" "$port" >/dev/null
cleanup() {
  if [ "${AB_BENCH_KEEP:-0}" != 1 ]; then "$root/scripts/mariadb-sandbox" down "$sbx" >/dev/null; fi
}
trap cleanup EXIT

client=(mariadb --defaults-file="$sbx/client.cnf")
dump=(mariadb-dump --defaults-file="$sbx/client.cnf" --single-transaction --hex-blob
      --default-character-set=gbk)
"${client[@]}" -e "SET GLOBAL innodb_buffer_pool_size = 2147483648"

# --- the membership database ---------------------------------------------------------------

generate() {
  local name=$1 n=$2
  echo "generating $name ($n members) ..." >&2
  "${client[@]}" -e "DROP DATABASE IF EXISTS \`$name\`; CREATE DATABASE \`$name\` DEFAULT CHARACTER SET gbk"
  sed -e '1,2d' "$root/sql/membership.sql" | "${client[@]}" "$name"
  # UTF-8 literals, converted by the server into the GBK columns; CHAR(... USING gbk) adds
  # characters from the whole GBK range, among them trail bytes 0x40-0x7E (0x5C, 0x7C).
  "${client[@]}" --default-character-set=utf8mb4 "$name" <<SQL
SET SESSION sql_mode = '';
INSERT INTO MemberInfo (id, serial, realName, sex, subbranchId, registerDate, state)
SELECT seq, LPAD(seq, 10, '0'),
       CONCAT(ELT(1 + seq % 20, '张','王','李','赵','刘','陈','杨','黄','周','吴','徐','孙','马',
                  '朱','胡','郭','何','高','林','罗'),
              CONVERT(CHAR(0xB0 + seq * 7 % 40, 0xA1 + seq * 13 % 94 USING gbk) USING utf8mb4),
              IF(seq % 10 = 0,
                 CONVERT(CHAR(0x81 + seq % 100, 0x40 + seq * 3 % 63 USING gbk) USING utf8mb4), '')),
       IF(seq % 2, '男', '女'), seq % 5,
       '2015-01-01' + INTERVAL seq % 3000 DAY + INTERVAL seq * 37 % 86400 SECOND, seq % 3
FROM seq_1_to_$n;
INSERT INTO MemberExInfo (id, idCard, mobile, telephone, birthday, isMarriage, image, address,
                          receiveNotify, description)
SELECT seq, CONCAT('1101', LPAD(seq * 7919 % 100000000, 14, '0')),
       CONCAT('13', LPAD(seq * 104729 % 1000000000, 9, '0')), CONCAT('010-', seq % 10000000),
       '1960-01-01' + INTERVAL seq * 17 % 16000 DAY, seq % 2,
       IF(seq % 20 = 0, RANDOM_BYTES(1024), NULL),
       CONCAT(ELT(1 + seq % 6, '北京市', '上海市', '广州市', '深圳市', '杭州市', '成都市'),
              ELT(1 + seq % 5, '朝阳区', '海淀区', '浦东新区', '天河区', '西湖区'),
              seq % 300, '号院', seq % 20, '栋'),
       3, IF(seq % 7 = 0, '老客户，喜欢周末来店', NULL)
FROM seq_1_to_$n;
INSERT INTO MemberCard (id, serial, password, cardTypeId, memberId, activeDate, activeSubbranchId,
                        expenseNumber, rechargeMoney, money, totalIntegral, integral,
                        presentTotal, present, checksum, lastRechargeDate, lastExpenseDate,
                        description, state, price, deposit)
SELECT seq, CONCAT('VIP', LPAD(seq, 8, '0')), seq * 31 % 1000000, 1 + seq % 6, seq,
       '2016-01-01' + INTERVAL seq % 2500 DAY, seq % 5, seq % 300, (seq * 7919 % 5000000) / 100,
       (seq * 104729 % 1000000) / 100 + 0.005 * (seq % 3), seq * 13 % 100000, seq * 7 % 50000,
       (seq % 1000) / 10, (seq % 500) / 10, CAST(seq * 2654435761 % 4294967296 AS CHAR),
       '2023-01-01' + INTERVAL seq % 700 DAY + INTERVAL seq % 86400 SECOND,
       '2023-06-01' + INTERVAL seq % 500 DAY + INTERVAL seq * 7 % 86400 SECOND,
       IF(seq % 9 = 0, '会员卡已挂失补办', '0'), 0, 100 * (1 + seq % 5), 10 * (seq % 3)
FROM seq_1_to_$n;
INSERT INTO MemberCardLog (memberId, cardId, cardSerial, type, refrenceId, datetime, subbranchId,
                           workstationId, operatorId, description)
SELECT seq % $n + 1, seq % $n + 1, CONCAT('VIP', LPAD(seq % $n + 1, 8, '0')), 40 + seq % 8,
       seq, '2020-01-01' + INTERVAL seq % 1800 DAY + INTERVAL seq * 53 % 86400 SECOND, seq % 5,
       seq % 12, -2,
       CONCAT(ELT(1 + seq % 5, '充值', '消费', '积分兑换', '卡类型变更', '赠送'), ' ',
              seq % 1000, '.', LPAD(seq % 100, 2, '0'), ' 元')
FROM seq_1_to_$((n * 5));
INSERT INTO MemberExpense (serial, memberId, memberCardId, cardSerial, sumMoney, rebate,
                           totalMoney, deductions, returnMoney, integral, isAccident, subbranchId,
                           workstationId, operatorId, datetime, description, state)
SELECT CONCAT('XF', LPAD(seq, 12, '0')), seq % $n + 1, seq % $n + 1,
       CONCAT('VIP', LPAD(seq % $n + 1, 8, '0')), (seq * 7919 % 200000) / 100, 0.9 + (seq % 10) / 100,
       (seq * 7919 % 200000) / 100 * 0.95, (seq % 50) / 10, 0, seq % 300, seq % 50 = 0, seq % 5,
       seq % 12, -2, '2020-01-01' + INTERVAL seq % 1800 DAY + INTERVAL seq * 61 % 86400 SECOND,
       ELT(1 + seq % 6, '洗车', '保养：更换机油、机滤', '四轮定位', '补胎', '空调清洗', '钣金喷漆'),
       0
FROM seq_1_to_$((n * 8 / 3));
SQL
}

members=${AB_BENCH_MEMBERS:-$((300000 * scale))}
have=$("${client[@]}" -N -e "SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = '$db'")
if [ "$have" = 0 ] || [ "$("${client[@]}" -N -e "SELECT COUNT(*) FROM \`$db\`.MemberInfo")" != "$members" ]; then
  generate "$db" "$members"
fi
if [ "$("${client[@]}" -N -e "SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = '$small'")" = 0 ]; then
  generate "$small" $((members / 10))
fi

password_hex=$("$bench" password 907358)
config() {
  cat >"$home/Config.xml" <<EOF
<?xml version="1.0" encoding="GB2312"?>
<SysConfig><Database><Server>127.0.0.1</Server><Port>$port</Port><UserName>root</UserName><Password>$password_hex</Password><Database>$1</Database><BackupPath>$2</BackupPath></Database><SaveDays><Days>2</Days></SaveDays></SysConfig>
EOF
}

checksums() {
  "${client[@]}" -N -e "CHECKSUM TABLE \`$db\`.MemberInfo, \`$db\`.MemberExInfo, \`$db\`.MemberCard, \`$db\`.MemberCardLog, \`$db\`.MemberExpense" | md5sum | cut -c1-12
}

# Runs a command with its standard output in OUT_FILE and prints "wall_seconds peak_rss_kb"
# (the peak of the largest process of a pipeline).
timed() {
  local out_file=$1
  shift
  /usr/bin/time -f "%e %M" -o "$dir/time.txt" "$@" >"$out_file"
  cat "$dir/time.txt"
}

# --- measurements --------------------------------------------------------------------------

echo "warming up (a plain mariadb-dump, also the size of its text) ..." >&2
dump_text=$("${dump[@]}" "$db" | wc -c)
sum_before=$(checksums)

config "$db" "$out"
rm -f "$out"/*.bak

# The machine may be shared: ours and the pigz pipeline run twice, alternately, and the faster
# run of each counts (the peak RSS is the larger of the two).
best() {  # best OLD_T OLD_RSS NEW_T NEW_RSS -> "T RSS"
  awk -v a="$1" -v ra="$2" -v b="$3" -v rb="$4" \
    'BEGIN { t = (a == "" || b < a) ? b : a; r = (ra == "" || rb > ra) ? rb : ra; print t, r }'
}
ours_t="" ours_rss="" pigz_t="" pigz_rss=""
run_ours() {
  echo "our backup ..." >&2
  local t rss
  read -r t rss < <(timed "$dir/path.txt" "$autobackup" --home "$home" backup)
  read -r ours_t ours_rss < <(best "$ours_t" "$ours_rss" "$t" "$rss")
}
run_pigz() {
  echo "mariadb-dump | pigz -9 -z -p $cores ..." >&2
  local t rss
  read -r t rss < <(timed /dev/null bash -c '"$@" | pigz -9 -z -p '"$cores"' >'"$out/pigz.sql.zz" _ "${dump[@]}" "$db")
  read -r pigz_t pigz_rss < <(best "$pigz_t" "$pigz_rss" "$t" "$rss")
}

run_ours
echo "mariadb-dump | gzip -9 ..." >&2
read -r gzip_t gzip_rss < <(timed /dev/null bash -c '"$@" | gzip -9 >'"$out/gzip.sql.gz" _ "${dump[@]}" "$db")
gzip_size=$(stat -c %s "$out/gzip.sql.gz")
run_pigz
run_ours
run_pigz
file=$(cat "$dir/path.txt")
ours_size=$(stat -c %s "$file")
ours_text=$("$autobackup" --home "$home" verify "$file" | sed -n 's/.*, \([0-9]*\) bytes of script in.*/\1/p')
pigz_size=$(stat -c %s "$out/pigz.sql.zz")

echo "single-stream zlib level 9 of our script ..." >&2
single=$("$bench" single "$file")
single_size=$(sed -n 's/.*single=\([0-9]*\).*/\1/p' <<<"$single")
single_t=$(sed -n 's/.*time=\([0-9.]*\).*/\1/p' <<<"$single")

echo "our backup of a database a tenth the size ..." >&2
config "$small" "$out/small"
read -r small_t small_rss < <(timed "$dir/path-small.txt" "$autobackup" --home "$home" backup)
small_text=$("$autobackup" --home "$home" verify "$(cat "$dir/path-small.txt")" | sed -n 's/.*, \([0-9]*\) bytes of script in.*/\1/p')
rm -f "$(cat "$dir/path-small.txt")"

config "$db" "$out"
echo "our restore ..." >&2
read -r rest_t rest_rss < <(timed /dev/null "$autobackup" --home "$home" --yes restore "$file")
sum_ours=$(checksums)
echo "zcat | mariadb ..." >&2
# zcat reads gzip, not zlib: the same script is given to it as a gzip file, made beforehand.
pigz -d -z -c "$file" | gzip -6 >"$out/ours.sql.gz"
read -r zcat_t zcat_rss < <(timed /dev/null bash -c 'zcat "$1" | "${@:2}"' _ "$out/ours.sql.gz" "${client[@]}")
sum_zcat=$(checksums)

# --- report --------------------------------------------------------------------------------

mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }
rate() { awk -v b="$1" -v t="$2" 'BEGIN { printf "%.1f", b / 1e6 / t }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo
echo "AutoBackup backup benchmark: $cores cores, database $db ($members members);" \
  "ours and pigz: the faster of two runs"
echo "dump text: ours $(mb "$ours_text") MB, mariadb-dump $(mb "$dump_text") MB"
echo
printf "%-34s %8s %8s %12s %9s %9s %9s\n" "backup" "wall s" "MB/s" "bytes" "RSS MB" "time/ours" "size/ours"
row() {
  printf "%-34s %8s %8s %12s %9s %9s %9s\n" "$1" "$2" "$(rate "$3" "$2")" "$4" \
    "$(mb $(($5 * 1024)))" "$(ratio "$2" "$ours_t")" "$(ratio "$4" "$ours_size")"
}
row "ours (autobackup backup)" "$ours_t" "$ours_text" "$ours_size" "$ours_rss"
row "mariadb-dump | gzip -9" "$gzip_t" "$dump_text" "$gzip_size" "$gzip_rss"
row "mariadb-dump | pigz -9 -z -p $cores" "$pigz_t" "$dump_text" "$pigz_size" "$pigz_rss"
printf "%-34s %8s %8s %12s %9s %9s %9s\n" "zlib level 9, one stream (script)" "$single_t" \
  "$(rate "$ours_text" "$single_t")" "$single_size" "-" "$(ratio "$single_t" "$ours_t")" \
  "$(ratio "$single_size" "$ours_size")"
echo
echo "ours against one level-9 stream of the same script: size x$(awk -v a="$ours_size" -v b="$single_size" 'BEGIN { printf "%.5f", a / b }')"
echo "ours against the pigz pipeline: time x$(ratio "$ours_t" "$pigz_t")"
echo "peak RSS of our backup: $(mb $((ours_rss * 1024))) MB for $(mb "$ours_text") MB of text," \
  "$(mb $((small_rss * 1024))) MB for $(mb "$small_text") MB ($small_t s)"
echo
printf "%-34s %8s %8s %9s %9s\n" "restore of our file" "wall s" "MB/s" "RSS MB" "time/ours"
printf "%-34s %8s %8s %9s %9s\n" "ours (autobackup restore)" "$rest_t" "$(rate "$ours_text" "$rest_t")" \
  "$(mb $((rest_rss * 1024)))" "1.00"
printf "%-34s %8s %8s %9s %9s\n" "zcat | mariadb" "$zcat_t" "$(rate "$ours_text" "$zcat_t")" \
  "$(mb $((zcat_rss * 1024)))" "$(ratio "$zcat_t" "$rest_t")"
echo
echo "checksums: original $sum_before, after our restore $sum_ours, after zcat | mariadb $sum_zcat"
