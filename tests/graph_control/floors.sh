#!/usr/bin/env bash
# The folders of the graph control are floors: none includes the control's header or
# defines a member of the control; those live at the top of graph_control/.
#   floors.sh SOURCE_DIR
set -u
cd "$1/graph_control" || exit 2
found=$(grep -rnE '#include "vellum32/vellum32.h"|Vellum32::[A-Za-z_]+\(' state series axes overlay interact render)
if [ -n "$found" ]; then
  echo "the control's header or members below the top of graph_control/:"
  echo "$found"
  exit 1
fi
