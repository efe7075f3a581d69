# Sourced by the drive tests: small file-system images mounted as a user's
# drives are, and removed again at the end. Needs $work (a folder of the
# test's own) and sets an EXIT trap.
#
#   mount_drive <kind> <mount point>   fat, exfat, ntfs (FUSE) or ext4 (a loop device)

mounts=()
loops=()
drive_cleanup() {
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null; done
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null; done
  rm -rf "$work"
}
trap drive_cleanup EXIT

# Says why the machine cannot mount these drives, or nothing when it can.
drives_unavailable() {  # drives_unavailable <kind>...
  [ "$(id -u)" -eq 0 ] || { echo "mounting drive images needs root"; return; }
  local kind tool
  for kind in "$@"; do
    case $kind in
      fat) tool="mkfs.vfat fusefat" ;;
      exfat) tool="mkfs.exfat mount.exfat-fuse" ;;
      ntfs) tool="mkntfs ntfs-3g" ;;
      ext4) tool="mkfs.ext4" ;;
    esac
    for t in $tool losetup; do
      command -v "$t" >/dev/null || { echo "$t is missing (scripts/install-deps.sh installs it)"; return; }
    done
    [ "$kind" = ext4 ] || [ -c /dev/fuse ] && [ -w /dev/fuse ] || { echo "no /dev/fuse"; return; }
  done
  losetup -f >/dev/null 2>&1 || echo "no free loop device"
}

mount_drive() {  # mount_drive <kind> <mount point>
  local img=$work/$1-${2##*/}.img
  mkdir -p "$2"
  truncate -s 32M "$img"
  case $1 in
    fat) mkfs.vfat "$img" >/dev/null && fusefat -o rw+ "$img" "$2" >/dev/null 2>&1 ;;
    exfat)
      local loop
      mkfs.exfat "$img" >/dev/null && loop=$(losetup -f --show "$img") || return 1
      loops+=("$loop")
      mount.exfat-fuse "$loop" "$2" >/dev/null 2>&1 ;;
    ntfs) mkntfs -F -Q "$img" >/dev/null 2>&1 && ntfs-3g "$img" "$2" ;;
    ext4) mkfs.ext4 -q "$img" && mount -o loop "$img" "$2" ;;
  esac || return 1
  mounts+=("$2")
}

put() {  # put <path> <content> <time>
  printf '%s' "$2" >"$1" && touch -d "$3" "$1"
}
