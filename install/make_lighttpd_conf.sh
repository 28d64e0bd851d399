#!/bin/sh
# Writes the lighttpd site of the management pages for one installation.
#   make_lighttpd_conf.sh SERVICE_DIR WEB_ROOT STATE_DIR [BIND [PORT [USER]]]
# STATE_DIR gets the pid file and the error log; "" for neither (errors go
# to standard error, as under systemd). BIND defaults to 127.0.0.1, PORT to
# 8080; USER (with its group) is whom lighttpd runs as when started as root,
# default none (stay as started).
set -eu
template="$(dirname "$0")/lighttpd.conf.in"
service_dir=$1 web_root=$2 state_dir=$3
bind=${4:-127.0.0.1} port=${5:-8080} user=${6:-}
state_lines="" user_lines=""
if [ -n "$state_dir" ]; then
  state_lines="server.pid-file = \"$state_dir/lighttpd.pid\"
server.errorlog = \"$state_dir/lighttpd-error.log\""
fi
if [ -n "$user" ]; then
  user_lines="server.username = \"$user\"
server.groupname = \"$(id -gn "$user")\""
fi
awk -v service="$service_dir" -v web="$web_root" -v states="$state_lines" -v bind="$bind" \
    -v port="$port" -v users="$user_lines" '{
  gsub(/@SERVICE_DIR@/, service); gsub(/@WEB_ROOT@/, web); gsub(/@STATE_LINES@/, states)
  gsub(/@BIND@/, bind); gsub(/@PORT@/, port); gsub(/@USER_LINES@/, users)
  print
}' "$template"
