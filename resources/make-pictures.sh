#!/bin/sh
# Draws the window's pictures with ImageMagick. The PNGs are kept in the
# repository; run this again only to change them.
set -eu
cd "$(dirname "$0")/pictures"

W=21x21

# Add Path: a yellow folder with a green plus.
convert -size $W xc:none \
  -fill '#e8b830' -stroke '#8a6410' -draw 'polygon 1,5 7,5 9,7 18,7 18,17 1,17' \
  -fill '#2f9e2f' -stroke '#1b5e1b' -draw 'rectangle 13,9 16,19' -draw 'rectangle 10,12 19,16' \
  -stroke none -fill '#2f9e2f' -draw 'rectangle 14,10 15,18' -draw 'rectangle 11,13 18,15' \
  add.png

# Synchronize selected: two arrows in a circle round a check mark.
convert -size $W xc:none -fill none -stroke '#1d5fb8' -strokewidth 2 \
  -draw 'arc 3,3 18,18 200,340' -draw 'arc 3,3 18,18 20,160' \
  -fill '#1d5fb8' -stroke none -draw 'polygon 16,2 19,8 13,8' -draw 'polygon 5,19 2,13 8,13' \
  -fill none -stroke '#2f9e2f' -strokewidth 2 -draw 'polyline 7,10 10,13 14,8' \
  syncselected.png

# Synchronize all: the same arrows round two small folders.
convert -size $W xc:none -fill none -stroke '#1d5fb8' -strokewidth 2 \
  -draw 'arc 3,3 18,18 200,340' -draw 'arc 3,3 18,18 20,160' \
  -fill '#1d5fb8' -stroke none -draw 'polygon 16,2 19,8 13,8' -draw 'polygon 5,19 2,13 8,13' \
  -fill '#e8b830' -stroke '#8a6410' -strokewidth 1 -draw 'rectangle 6,7 10,12' -draw 'rectangle 11,9 15,14' \
  syncall.png

# Options: a gear.
convert -size $W xc:none -fill '#707070' -stroke '#404040' \
  -draw 'rectangle 9,1 12,20' -draw 'rectangle 1,9 20,12' \
  -draw 'polygon 3,5 5,3 18,16 16,18' -draw 'polygon 16,3 18,5 5,18 3,16' \
  -draw 'circle 10.5,10.5 10.5,4' -fill '#d4d0c8' -draw 'circle 10.5,10.5 10.5,8' \
  options.png

# Help: a white question mark on a blue disc.
convert -size $W xc:none -fill '#1d5fb8' -stroke '#0d3a78' -draw 'circle 10,10 10,1' \
  -fill white -stroke none -font DejaVu-Sans-Bold -pointsize 15 -gravity center -annotate +0+0 '?' \
  help.png

# Useful little things: a small toolbox.
convert -size $W xc:none -fill '#c0392b' -stroke '#6e1f17' \
  -draw 'rectangle 2,8 18,18' -fill none -stroke '#404040' -strokewidth 2 -draw 'rectangle 7,4 13,8' \
  -stroke '#6e1f17' -strokewidth 1 -draw 'line 2,12 18,12' -fill '#e8b830' -stroke none -draw 'rectangle 9,11 11,14' \
  tools.png

# The decoration before the author link: a small navy arrow.
convert -size $W xc:none -fill '#000080' -stroke none \
  -draw 'polygon 4,6 12,6 12,2 19,10 12,18 12,14 4,14' \
  decoration.png

# The company icon (Image2), 32 x 32: a teal cube.
convert -size 32x32 xc:none -stroke '#0b4f4a' \
  -fill '#2bb3a6' -draw 'polygon 16,3 29,9 16,15 3,9' \
  -fill '#1c8a80' -draw 'polygon 3,9 16,15 16,29 3,23' \
  -fill '#14665f' -draw 'polygon 29,9 16,15 16,29 29,23' \
  company.png

# The site group (Image3), 36 x 32: three linked globes.
convert -size 36x32 xc:none -stroke '#555555' -strokewidth 2 -draw 'line 9,22 18,9' -draw 'line 18,9 27,22' -draw 'line 9,22 27,22' \
  -strokewidth 1 -stroke '#0d3a78' -fill '#4a90e2' -draw 'circle 18,9 18,2' \
  -fill '#e2844a' -stroke '#7a3d12' -draw 'circle 9,22 9,15' \
  -fill '#59b85a' -stroke '#2a6b2b' -draw 'circle 27,22 27,15' \
  sitegroup.png

# The 48 x 48 application icon for the desktop's icon theme, drawn like
# ../data/folderly.svg.
convert -size 48x48 xc:none -stroke '#8a6410' -strokewidth 1.5 \
  -fill '#e8b830' -draw "path 'M4 12 h10 l3 3 h13 v17 h-26 z'" \
  -fill '#f2c94c' -draw "path 'M18 22 h10 l3 3 h13 v17 h-26 z'" \
  -fill none -stroke '#e07a10' -strokewidth 3 -draw "path 'M10 10 C 14 2, 30 2, 36 12'" \
  -stroke none -fill '#e07a10' -draw "path 'M31 12 l7 3 l1 -8 z'" \
  ../../data/folderly-48.png
