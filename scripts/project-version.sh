#!/bin/sh
# Prints the project's version, which lives in CMakeLists.txt's project()
# line alone; the scripts that name files after it ask here.
cd "$(dirname "$0")/.." && sed -n 's/^project(tamselexport VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt
