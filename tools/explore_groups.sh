#!/usr/bin/env bash
# The README's picture of the studio: one scene in each of the seven frieze groups, each strip
# exported by explore itself and labelled with the group's names (the labels are set by
# ImageMagick; the strips are explore's pixels unchanged).
#   tools/explore_groups.sh build/bin/explore docs/explore-groups.png
set -eu
explore=${1:?usage: explore_groups.sh EXPLORE OUT.png}
out=${2:?usage: explore_groups.sh EXPLORE OUT.png}
scene="kick=0.97 size=1200x100 theta=0:3.2 p=1.6:4.7 palette=1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
parts=()
i=0
for group in "p1 p111 hop" "p11g p11g step" "p1m1 p1m1 sidle" "p2 p211 spinning-hop" \
    "p2mg p2mg spinning-sidle" "p11m p11m jump" "p2mm p2mm spinning-jump"; do
    set -- $group
    i=$((i + 1))
    "$explore" --scene "$scene group=$1" --export "$work/strip-$i.png" >/dev/null
    name="$1"
    [ "$2" != "$1" ] && name="$1 ($2)"
    convert -background white -fill black -pointsize 18 -size 1200x28 -gravity west \
        label:"$i. $name: $3" "$work/label-$i.png"
    parts+=("$work/label-$i.png" "$work/strip-$i.png")
done
convert "${parts[@]}" -background white -append +repage -bordercolor white -border 8 +repage "$work/all.png"
mv "$work/all.png" "$out"
echo "$out: $scene, in the seven groups"
