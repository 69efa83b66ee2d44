# Sourced by the session scripts: makes a temporary HOME whose "tool.cfg" opens the tool in
# a 1280x720 window; further <var> lines (e.g. vsync) may follow as arguments. Prints the folder.
fensterheim() {
  local heim
  heim=$(mktemp -d)
  mkdir -p "$heim/.local/share/ToolVelmar"
  {
    echo '<?xml version="1.0" ?>'
    echo '<config>'
    echo '    <var name="displaywidth" wert="1280" />'
    echo '    <var name="displayheight" wert="720" />'
    echo '    <var name="fullscreen" wert="nein" />'
    local zeile
    for zeile in "$@"; do echo "    $zeile"; done
    echo '</config>'
  } >"$heim/.local/share/ToolVelmar/tool.cfg"
  echo "$heim"
}
