#!/usr/bin/env bash
# Installs what is missing, builds Astrel in Release, installs the VST3 and LV2 plug-ins for
# this user and starts the Standalone.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"

"$root/scripts/install-deps.sh" build

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DASTREL_BUILD_TESTS=OFF
cmake --build "$build" --target Astrel_VST3 Astrel_LV2 Astrel_Standalone -j "$(nproc)"

artefacts="$build/Astrel_artefacts/Release"
vst3_dir="$HOME/.vst3"
lv2_dir="$HOME/.lv2"
mkdir -p "$vst3_dir" "$lv2_dir"
rm -rf "$vst3_dir/Astrel.vst3" "$lv2_dir/Astrel.lv2"
cp -R "$artefacts/VST3/Astrel.vst3" "$vst3_dir/"
cp -R "$artefacts/LV2/Astrel.lv2" "$lv2_dir/"

standalone="$artefacts/Standalone/Astrel"
echo "Installed the VST3 plug-in to $vst3_dir/Astrel.vst3"
echo "Installed the LV2 plug-in to $lv2_dir/Astrel.lv2"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display, so the Standalone was not started. Start it on a desktop with:"
    echo "  $standalone"
    exit 0
fi

echo "Starting $standalone"
exec "$standalone"
