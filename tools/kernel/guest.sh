#!/bin/busybox sh
# The guest side of the kernel-in-the-loop test: /init of the initramfs that
# tools/kernel/run.sh builds. No udev, no user session: devtmpfs makes the
# nodes. Every check prints "KTEST ok: ..." or "KTEST FAIL: ...", the last
# line is "KTEST RESULT: PASS|FAIL", then the machine powers off.
/bin/busybox --install -s /bin
export PATH=/opt/tolvane/bin:/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

FAILS=0
ok() { echo "KTEST ok: $*"; }
bad() { echo "KTEST FAIL: $*"; FAILS=$((FAILS + 1)); }
now_ms() { read -r up _ </proc/uptime; echo $((${up%.*} * 1000 + 1${up#*.} * 10 - 1000)); }
nodes() { ls /sys/class/hidraw 2>/dev/null | wc -l; }
# Waits up to 5 s until there are $1 hidraw nodes.
wait_nodes() {
  i=0
  while [ "$(nodes)" -ne "$1" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
  [ "$(nodes)" -eq "$1" ]
}
show_file() { sed 's/^/    /' "$1"; }
# The second DPI level of `show --json` output as "XxY".
level2() { grep -o '"dpi":\[[^]]*' "$1" | cut -d'}' -f2 | sed -n 's/.*"x":\([0-9]*\),"y":\([0-9]*\).*/\1x\2/p'; }

T0=$(now_ms)
SLOWEST_SHOW_MS=0
echo "KTEST kernel $(uname -r)"
while read -r m; do
  insmod "/lib/modules/$m.ko" || bad "insmod $m"
done </lib/modules/order
[ -c /dev/uhid ] && ok "/dev/uhid is there" || bad "no /dev/uhid after loading $(cat /lib/modules/order)"

# --- one PRO and one PRO+ catalogue model, each as a uhid device ------------
PRO=pro:cid=10,mid=1                 # Tolvane Kestrel, wired product id 4011
PLUS=pro+:cid=20,mid=2,4k=1,pid=4021  # Tolvane Heron 4K, wired product id 4021
uhid_mouse "$PRO" >/tmp/pro.out 2>/tmp/pro.err &
PRO_PID=$!
uhid_mouse "$PLUS" >/tmp/plus.out 2>/tmp/plus.err &
PLUS_PID=$!
# PRO: pointer, notify and command interface; PRO+: pointer and its one interface.
if wait_nodes 5; then
  ok "5 hidraw nodes: $(ls /dev | grep hidraw | tr '\n' ' ')"
else
  bad "$(nodes) hidraw nodes instead of 5"
  show_file /tmp/pro.err
  show_file /tmp/plus.err
fi

t=$(now_ms)
tolvanectl list >/tmp/list.out 2>/tmp/list.err
rc=$?
echo "KTEST tolvanectl list: exit $rc in $(($(now_ms) - t)) ms"
show_file /tmp/list.out
show_file /tmp/list.err
[ $rc -eq 0 ] && grep -q 'Tolvane Kestrel .*pro .*pid=4011' /tmp/list.out &&
  grep -q 'Tolvane Heron 4K .*pro+ .*pid=4021' /tmp/list.out &&
  ok "list finds both mice through sysfs and hidraw" || bad "list did not find both mice"

# --- read and write a profile on each -----------------------------------------
for dev in 0 1; do
  model=$(sed -n "s/^$dev: \(.*\)  cid=.*/\1/p" /tmp/list.out)
  t=$(now_ms)
  tolvanectl --device $dev show --json >/tmp/show1.json 2>/tmp/show.err
  rc=$?
  before=$(level2 /tmp/show1.json)
  show_ms=$(($(now_ms) - t))
  [ $show_ms -gt $SLOWEST_SHOW_MS ] && SLOWEST_SHOW_MS=$show_ms
  echo "KTEST device $dev ($model): show --json exit $rc in $show_ms ms, DPI level 2 = $before"
  [ $rc -eq 0 ] && grep -q "\"model\":\"$model\"" /tmp/show1.json && [ -n "$before" ] &&
    ok "device $dev: profile read" || { bad "device $dev: profile read"; show_file /tmp/show.err; }
  t=$(now_ms)
  tolvanectl --device $dev set dpi 2 1600 >/tmp/set.out 2>/tmp/set.err
  rc=$?
  echo "KTEST device $dev: set dpi 2 1600 exit $rc in $(($(now_ms) - t)) ms"
  [ $rc -eq 0 ] && ok "device $dev: set dpi" || { bad "device $dev: set dpi"; show_file /tmp/set.err; }
  # A new process reads the profile from the mouse again.
  tolvanectl --device $dev show --json >/tmp/show2.json 2>/tmp/show.err
  after=$(level2 /tmp/show2.json)
  [ "$before" != "1600x1600" ] && [ "$after" = "1600x1600" ] &&
    ok "device $dev: DPI level 2 read back as $after (was $before)" ||
    bad "device $dev: DPI level 2 read back as '$after' (was '$before')"
done

# --- unplug on a signal -------------------------------------------------------
kill -TERM $PRO_PID $PLUS_PID
wait $PRO_PID
rc1=$?
wait $PLUS_PID
rc2=$?
if [ $rc1 -eq 0 ] && [ $rc2 -eq 0 ] && wait_nodes 0; then
  ok "SIGTERM unplugs both mice, their hidraw nodes are gone"
else
  bad "SIGTERM: exit $rc1/$rc2, $(nodes) hidraw nodes left"
  show_file /tmp/pro.err
  show_file /tmp/plus.err
fi

# --- the device destroyed in the middle of a profile read ---------------------
# 30 reports: discovery takes fewer than 10, the profile read some 40.
# Giving up takes about a second; an unplug that leaves the kernel waiting
# for an answer adds its 5 s request time-out, which the limit catches.
# The limit is measured against this guest's own speed: a whole `show` of a
# live mouse (slow without KVM or on a busy host) plus 2.5 s, and never under 4 s.
CUT_LIMIT_MS=$((SLOWEST_SHOW_MS + 2500))
[ $CUT_LIMIT_MS -lt 4000 ] && CUT_LIMIT_MS=4000
echo "KTEST give-up limit: $CUT_LIMIT_MS ms (slowest full show $SLOWEST_SHOW_MS ms)"
for spec in "$PRO" "$PLUS"; do
  uhid_mouse --destroy-after 30 "$spec" >/tmp/cut.out 2>/tmp/cut.err &
  CUT_PID=$!
  case $spec in pro+*) want=2 ;; *) want=3 ;; esac
  wait_nodes $want || bad "$spec: $(nodes) hidraw nodes instead of $want"
  t=$(now_ms)
  timeout 30 tolvanectl show >/tmp/cut-show.out 2>/tmp/cut-show.err
  rc=$?
  ms=$(($(now_ms) - t))
  wait $CUT_PID
  echo "KTEST ${spec%%:*} destroyed mid-read: tolvanectl show exit $rc in $ms ms"
  show_file /tmp/cut-show.err
  show_file /tmp/cut.err
  if ! grep -q 'vanished after' /tmp/cut.err; then
    bad "${spec%%:*}: the mouse was not destroyed by its report count"
  elif [ $rc -eq 0 ] || [ $rc -eq 124 ] || [ $rc -ge 128 ]; then
    bad "${spec%%:*}: tolvanectl show exit $rc after the device was destroyed"
  elif ! grep -q '^tolvanectl: ' /tmp/cut-show.err; then
    bad "${spec%%:*}: no message from tolvanectl show"
  elif [ $ms -gt $CUT_LIMIT_MS ]; then
    bad "${spec%%:*}: tolvanectl show took $ms ms to give up"
  else
    ok "${spec%%:*}: destroyed mid-read, tolvanectl show fails with exit $rc and a message in $ms ms"
  fi
  wait_nodes 0 || bad "${spec%%:*}: $(nodes) hidraw nodes left after the destroy"
done

echo "KTEST guest time $(($(now_ms) - T0)) ms"
if [ $FAILS -eq 0 ]; then
  echo "KTEST RESULT: PASS"
else
  echo "KTEST RESULT: FAIL ($FAILS)"
fi
sync
poweroff -f
