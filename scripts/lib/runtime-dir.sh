# Sourced by the scripts. Qt programs want a private runtime directory and
# warn on every start without one (as root, in CI, over ssh): make one for
# this run when none is set. remove_private_runtime_dir removes it again.
private_runtime_dir=
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  private_runtime_dir=$(mktemp -d "${TMPDIR:-/tmp}/runtime-XXXXXX")
  chmod 700 "$private_runtime_dir"
  export XDG_RUNTIME_DIR="$private_runtime_dir"
fi
remove_private_runtime_dir() {
  if [ -n "$private_runtime_dir" ]; then
    rm -rf "$private_runtime_dir"
  fi
}
