# Sourced by the end-to-end sessions: skips when the virtual desktop is not
# to be had (the tools in $tools_needed, if set), then gives the program a
# home of its own in $work, removed at exit.
xdesk="$2"
for tool in ${tools_needed:-Xvfb trayer xdotool xprop import}; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done

work=$(mktemp -d /tmp/folderly-e2e-XXXXXX)
# (a desktop's service may still write into the home for a moment)
trap 'rm -rf "$work" 2>/dev/null || { sleep 1; rm -rf "$work"; }' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/share" XDG_CONFIG_HOME="$work/home/config"
export XDG_STATE_HOME="$work/home/state"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_DATA_HOME/Folderly" "$XDG_CONFIG_HOME/Vantrel" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
