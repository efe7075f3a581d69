# Sourced by the network-share tests: a Samba share served on the loopback
# and mounted the way a desktop user has it (gvfs, through its FUSE folder),
# and a folder over SSH mounted with sshfs. Everything belongs to a user of
# the test's own, since gvfs and sshfs mount for one user only: root cannot
# even look into those folders, so whatever touches them goes through as_user.
# Needs $work (a folder of the test's own) and sets an EXIT trap that
# unmounts, stops every server and removes the user and $work.
#
#   share_unavailable     why the machine cannot do this, or nothing
#   start_shares          makes the user, serves and mounts; sets smb_mount
#                         (the share's folder as gvfs shows it), smb_real (the
#                         same folder on the server's side), ssh_mount and
#                         ssh_real likewise, and user_home
#   as_user CMD...        runs CMD as the user, in the user's session
#
# What the gvfs folder of a Samba share is like (gvfs 1.50, Samba 4.17): it
# shows every file as 0700 whatever the server keeps, and access(W_OK) says
# yes even to a file the server keeps read-only; open(O_WRONLY) or O_RDWR
# without O_TRUNC fails with EOPNOTSUPP on any file, chmod always, utimensat
# on a read-only one. Times are whole seconds. rename() over an existing
# file replaces it, even a read-only one; link() fails with EPERM;
# renameat2(RENAME_NOREPLACE) says EEXIST. ':' and '?' in a name are EINVAL,
# a backslash is taken as a separator, but a dot or blank at the end and CON
# are made as they are. Names are blind to case (A.txt opens a.txt, though
# the two get inode numbers of their own). .Trash-$uid can be made at the top.

share_user=folderly-net$$
share_name=docs
share_password=Fo1derly-$$
user_home=$work/home
smb_real=$work/srv/$share_name ssh_real=$work/srv/remote ssh_mount=$work/sshfs
smb_mount="" smb_url="" bus_address="" bus_pid=""
pids=()
made_user="" made_privsep=""

share_unavailable() {
  [ "$(id -u)" -eq 0 ] || { echo "serving and mounting the shares needs root"; return; }
  [ -c /dev/fuse ] && [ -w /dev/fuse ] || { echo "no /dev/fuse"; return; }
  # The user mounts through the set-uid fusermount3, which a container's
  # no_new_privs or a nosuid /usr would stop.
  grep -q '^NoNewPrivs:[[:space:]]*1' /proc/self/status && { echo "no new privileges here: fusermount3 cannot mount for a user"; return; }
  local t
  for t in smbd smbpasswd sshd ssh-keygen sshfs gio dbus-daemon fusermount3 useradd setpriv python3 \
    /usr/libexec/gvfsd /usr/libexec/gvfsd-fuse /usr/libexec/gvfsd-smb; do
    command -v "$t" >/dev/null || { echo "$t is missing (scripts/install-deps.sh installs it)"; return; }
  done
  [ -u "$(command -v fusermount3)" ] || echo "fusermount3 is not set-uid: a user cannot mount"
}

as_user() {
  setpriv --reuid="$share_user" --regid="$share_user" --init-groups -- env -i PATH=/usr/bin:/bin \
    HOME="$user_home" USER="$share_user" LOGNAME="$share_user" LANG=C.UTF-8 \
    XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$user_home/.config" XDG_DATA_HOME="$user_home/.local/share" \
    XDG_STATE_HOME="$user_home/.local/state" XDG_CACHE_HOME="$user_home/.cache" \
    DBUS_SESSION_BUS_ADDRESS="$bus_address" QT_QPA_PLATFORM=offscreen "$@"
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_until() {  # wait_until <seconds> <command>...
  local i
  for ((i = 0; i < $1 * 10; i++)); do "${@:2}" && return 0; sleep 0.1; done
  return 1
}

share_cleanup() {
  trap '' TERM INT  # a second stop does not cut the cleanup short
  if [ -n "$bus_pid" ]; then
    [ -n "$smb_url" ] && as_user timeout 10 gio mount -u "$smb_url" >/dev/null 2>&1
    as_user timeout 10 fusermount3 -u "$ssh_mount" 2>/dev/null
    as_user timeout 10 fusermount3 -u "$work/run/gvfs" 2>/dev/null
  fi
  # A mount whose server is gone already: root still takes it away.
  grep -F " $work/" /proc/mounts | cut -d' ' -f2 | while read -r m; do umount -l "$(printf '%b' "$m")"; done
  local p
  for p in "${pids[@]}" $bus_pid; do kill "$p" 2>/dev/null; done
  # What the bus and gvfsd started on demand (gvfsd-smb, gvfsd-metadata,
  # the volume monitors) runs as the user: the user's processes, by id.
  if [ -n "$made_user" ]; then
    sleep 0.3
    for p in $(pgrep -u "$share_user"); do kill "$p" 2>/dev/null; done
    wait_until 5 sh -c "! pgrep -u $share_user >/dev/null"
    for p in $(pgrep -u "$share_user"); do kill -9 "$p" 2>/dev/null; done
  fi
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  [ -n "$made_user" ] && userdel "$share_user" 2>/dev/null
  [ -n "$made_privsep" ] && rmdir /run/sshd 2>/dev/null
  rm -rf "$work"
}
trap share_cleanup EXIT
# Stopped (a test's time out, ^C): the exit still cleans up.
trap 'exit 143' TERM
trap 'exit 130' INT

start_shares() {
  local log=$work/setup.log
  chmod 755 "$work"
  # '*', not useradd's locked '!': sshd without PAM turns a locked account
  # away even with its key.
  useradd --no-create-home --home-dir "$user_home" --shell /bin/sh --password '*' --user-group "$share_user" >>"$log" 2>&1 ||
    { echo "useradd failed: $(cat "$log")"; return 1; }
  made_user=1
  mkdir -p "$user_home/.ssh" "$work/run" "$smb_real" "$ssh_real"
  chown -R "$share_user:$share_user" "$user_home" "$work/run" "$smb_real" "$ssh_real"
  chmod 700 "$user_home" "$work/run"

  # Samba with all its state in $work and listening on the loopback only, on
  # a port of its own so that a Samba of the machine's does not matter.
  local smb=$work/samba smb_port
  smb_port=$(free_port)
  mkdir -p "$smb"/{private,lock,state,cache,pid,log,ncalrpc}
  cat >"$smb/smb.conf" <<CONF
[global]
  server role = standalone server
  interfaces = lo
  bind interfaces only = yes
  smb ports = $smb_port
  private dir = $smb/private
  lock directory = $smb/lock
  state directory = $smb/state
  cache directory = $smb/cache
  pid directory = $smb/pid
  ncalrpc dir = $smb/ncalrpc
  log file = $smb/log/log.%m
  passdb backend = tdbsam:$smb/private/passdb.tdb
  usershare path =
  registry shares = no
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  map to guest = never
[$share_name]
  path = $smb_real
  read only = no
  valid users = $share_user
CONF
  printf '%s\n%s\n' "$share_password" "$share_password" | smbpasswd -c "$smb/smb.conf" -a -s "$share_user" >>"$log" 2>&1 ||
    { echo "smbpasswd failed: $(cat "$log")"; return 1; }
  # In its own process group (no --no-process-group): smbd ends its group on
  # the way out, which would be this test. -l, else it logs to /var/log/samba
  # before it has read the configuration.
  smbd --configfile="$smb/smb.conf" --foreground -l "$smb/log" </dev/null >>"$log" 2>&1 &
  pids+=($!)
  wait_until 10 python3 -c "import socket; socket.create_connection(('127.0.0.1', $smb_port))" 2>/dev/null ||
    { echo "smbd did not start: $(cat "$log" "$smb"/log/* 2>/dev/null)"; return 1; }

  # sshd: its own host key and port, the user's key alone lets in.
  local ssh=$work/ssh ssh_port
  ssh_port=$(free_port)
  mkdir -p "$ssh"
  ssh-keygen -q -t ed25519 -N '' -f "$ssh/host" >>"$log" 2>&1
  ssh-keygen -q -t ed25519 -N '' -f "$user_home/.ssh/id" >>"$log" 2>&1
  cp "$user_home/.ssh/id.pub" "$user_home/.ssh/authorized_keys"
  chown -R "$share_user:$share_user" "$user_home/.ssh"
  cat >"$ssh/sshd_config" <<CONF
ListenAddress 127.0.0.1:$ssh_port
HostKey $ssh/host
PidFile $ssh/sshd.pid
AuthorizedKeysFile .ssh/authorized_keys
PasswordAuthentication no
KbdInteractiveAuthentication no
PubkeyAuthentication yes
UsePAM no
AllowUsers $share_user
Subsystem sftp internal-sftp
CONF
  # sshd insists on its privilege-separation folder, which only the
  # service's start would make.
  [ -d /run/sshd ] || { mkdir -m 755 /run/sshd && made_privsep=1; }
  /usr/sbin/sshd -f "$ssh/sshd_config" -D -E "$ssh/sshd.log" </dev/null &
  pids+=($!)
  wait_until 10 python3 -c "import socket; socket.create_connection(('127.0.0.1', $ssh_port))" 2>/dev/null ||
    { echo "sshd did not start: $(cat "$ssh/sshd.log")"; return 1; }

  # The user's session: a bus, gvfsd and its FUSE folder, started here (not
  # by gvfsd, --no-fuse) so that its end is this test's.
  local out
  out=$(as_user dbus-daemon --session --fork --print-address=1 --print-pid=1) || { echo "no session bus"; return 1; }
  bus_address=$(sed -n 1p <<<"$out") bus_pid=$(sed -n 2p <<<"$out")
  as_user /usr/libexec/gvfsd --no-fuse </dev/null >>"$log" 2>&1 &
  pids+=($!)
  mkdir -p "$work/run/gvfs" && chown "$share_user:$share_user" "$work/run/gvfs"
  as_user /usr/libexec/gvfsd-fuse "$work/run/gvfs" -f </dev/null >>"$log" 2>&1 &
  pids+=($!)
  wait_until 10 grep -qF " $work/run/gvfs " /proc/mounts || { echo "gvfsd-fuse did not mount: $(cat "$log")"; return 1; }

  # gio mount asks for user, domain and password on standard input (a word
  # about Kerberos before that is harmless). The folder's name holds the
  # port: smb-share:port=N,server=localhost,share=docs.
  smb_url=smb://localhost:$smb_port/$share_name
  printf '%s\nWORKGROUP\n%s\n' "$share_user" "$share_password" | as_user timeout 30 gio mount "$smb_url" >>"$log" 2>&1 ||
    { echo "gio mount $smb_url failed: $(cat "$log")"; return 1; }
  smb_mount=$(as_user sh -c 'ls -d "$XDG_RUNTIME_DIR"/gvfs/smb-share:*' 2>/dev/null)
  [ -n "$smb_mount" ] || { echo "the share is not in $work/run/gvfs: $(cat "$log")"; return 1; }

  mkdir -p "$ssh_mount" && chown "$share_user:$share_user" "$ssh_mount"
  as_user sshfs -o "StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,IdentityFile=$user_home/.ssh/id,port=$ssh_port,BatchMode=yes" \
    "$share_user@127.0.0.1:$ssh_real" "$ssh_mount" >>"$log" 2>&1 ||
    { echo "sshfs failed: $(cat "$log" "$ssh/sshd.log")"; return 1; }
}
