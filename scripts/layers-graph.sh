#!/usr/bin/env bash
# Prints, in Graphviz's dot language, the folders of src/ grouped by the library target that builds them, with
# an arrow from each folder to every folder whose headers it includes. docs/layers.dot is its output and
# docs/layers.svg the picture of it:
#   scripts/layers-graph.sh > docs/layers.dot && dot -Tsvg docs/layers.dot -o docs/layers.svg
# The ground floor is at the bottom: an arrow that runs upwards is an include from a lower floor to a higher one.
set -euo pipefail
cd "$(dirname "$0")/../src"

# target name, its folders from the ground up (the order the floors are drawn in)
floors=(
    "tetrapan_core:platform library"
    "tetrapan_engine:engine"
    "tetrapan_analysis:analysis"
    "tetrapan_export:export"
    "tetrapan_recording:recording"
    "tetrapan_gui:widgets panes layout playlist palette shell"
)

echo 'digraph layers {'
echo '    rankdir=TB; newrank=true; node [shape=box, style="rounded,filled", fillcolor=white, fontname="DejaVu Sans"];'
echo '    edge [color="#555555", arrowsize=0.7]; fontname="DejaVu Sans";'
rank=0
for floor in "${floors[@]}"; do
    target=${floor%%:*}
    echo "    subgraph cluster_$target { label=\"$target\"; style=filled; fillcolor=\"#eef2f7\"; color=\"#9aa8ba\";"
    for folder in ${floor#*:}; do
        [[ -d $folder ]] || continue
        files=$(find "$folder" -name '*.cpp' -o -name '*.h' | wc -l)
        lines=$(find "$folder" \( -name '*.cpp' -o -name '*.h' \) -exec cat {} + | wc -l)
        echo "        \"$folder\" [label=\"src/$folder/\\n$files files, $lines lines\"];"
    done
    echo '    }'
done
echo '    "main.cpp" [label="tetrapan\nsrc/main.cpp", fillcolor="#fff7e0"];'
echo '    "main.cpp" -> "shell";'
for folder in */; do
    folder=${folder%/}
    [[ $folder == resources ]] && continue
    grep -rhoE '#include "[a-z]+/' "$folder" | sed -E 's/#include "([a-z]+)\//\1/' | sort -u |
        while read -r used; do
            if [[ $used != "$folder" && -d $used ]]; then
                echo "    \"$folder\" -> \"$used\";"
            fi
        done
done
echo '}'
