#!/usr/bin/env bash
# Measures, in one run on this machine, the capture-end append against ffmpeg's
# MJPEG encoder and a bare TurboJPEG loop, the live path per frame, a review
# step, opening a recording and the memory of a kept frame, and prints a table.
#   bench/compare.sh            (BUILD_DIR=build-bench by default)
# Exits 1 when the program printed an error during the run or a benchmark
# stopped with one (bench/check_run.sh): such figures measure a broken run.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

bash scripts/setup.sh

BUILD_DIR=${BUILD_DIR:-build-bench}
cmake --preset bench -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target houndex_bench
BENCH="$ROOT/$BUILD_DIR/bench/houndex_bench"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/houndex-compare.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen
export HOUNDEX_DATA_DIR="$WORK/data"
export HOUNDEX_BENCH_DIR="$WORK"
mkdir -p "$HOUNDEX_DATA_DIR"

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
# The run's standard error is kept as well as shown: a program error printed
# there (or a benchmark stopped with one) fails the comparison, after the table.
"$BENCH" --benchmark_out="$WORK/bench.json" --benchmark_out_format=json 2> >(tee "$WORK/bench.err" >&2)

# ffmpeg on the same pictures: the benchmark program writes the 100 distinct
# frames of each crop as raw rows; ffmpeg loops them to the same 500 frames.
# -q:v 3 scales the standard tables like quality 80 does (about 0.4).
FRAMES=500
FFMPEG_Q=3
: >"$WORK/ffmpeg.txt"
for crop in 0 1 2; do
  read -r w h distinct < <("$BENCH" --raw-frames=$crop "$WORK/raw.bgr")
  loops=$(( FRAMES / distinct - 1 ))
  # Read once before timing, so both sides start from memory.
  cat "$WORK/raw.bgr" >/dev/null
  start=$(date +%s%N)
  ffmpeg -nostdin -hide_banner -loglevel error -y -f rawvideo -pix_fmt bgr24 -s "${w}x${h}" -r 50 \
    -stream_loop "$loops" -i "$WORK/raw.bgr" -c:v mjpeg -q:v "$FFMPEG_Q" -f mjpeg "$WORK/out.mjpeg"
  end=$(date +%s%N)
  bytes=$(stat -c %s "$WORK/out.mjpeg")
  echo "$crop $(( (end - start) / 1000 )) $bytes" >>"$WORK/ffmpeg.txt"
  rm -f "$WORK/raw.bgr" "$WORK/out.mjpeg"
done
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

CPU=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
echo
echo "Houndex HDMI benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $CPU, $(nproc) cores"
echo "load average before: $LOAD_BEFORE, after: $LOAD_AFTER (other work on the machine skews every figure)"
echo

awk -v frames="$FRAMES" -v q="$FFMPEG_Q" -v cores="$(nproc)" '
# t comes from the text of the report: + 0 makes it a number, so comparisons are numeric.
function ms(t, unit) { t += 0; return unit == "ns" ? t / 1e6 : unit == "us" ? t / 1e3 : unit == "s" ? t * 1e3 : t }
FNR == 1 { file++ }
file == 1 { ff_us[$1] = $2; ff_bytes[$1] = $3; next }
# The JSON report has one "key": value per line; every run starts with its "name".
file == 2 {
  line = $0
  if (line !~ /^[ \t]*"[A-Za-z_]+": /) next
  sub(/^[ \t]*"/, "", line)
  k = line; sub(/".*$/, "", k)
  v = line; sub(/^[^"]*": */, "", v); sub(/,[ \t]*$/, "", v); gsub(/"/, "", v)
  if (k == "name") {
    split(v, p, "/")
    arg = ""
    for (i = 2; i in p; i++) if (p[i] ~ /^(crop|threads|interlaced|mode|step|screen|paced|ring_ms|fps|browsers):/) arg = arg "/" p[i]
    key = p[1] arg
    aggregate = (v ~ /_(mean|median|stddev|cv)$/)
    next
  }
  if (key == "" || aggregate) next
  val[key, k] = v
  if (k == "time_unit") real[key] = ms(val[key, "real_time"], v)
  next
}
END {
  caption[0] = "400*880"; caption[1] = "600*1080"; caption[2] = "576*720"
  print "1. Capture-end append of " frames " stored frames at quality 80, frames per second (" cores " cores)"
  printf "%-9s %9s %8s %8s %9s %10s %12s %8s %9s %10s %8s %9s %10s\n", "crop", "ours,all", "ours,1", "ffmpeg",
    "TJ once", "TJ ladder", "ours/ffmpeg", "ours/TJ", "ours/lad", "encodings", "B/frame", "B/f intl", "ffmpeg B/f"
  for (c = 0; c < 3; c++) {
    p0 = "BM_Append/crop:" c "/threads:0/interlaced:0"; p1 = "BM_Append/crop:" c "/threads:1/interlaced:0"
    il = "BM_Append/crop:" c "/threads:0/interlaced:1"
    a = val[p0, "fps"]; s = val[p1, "fps"]
    tj = val["BM_Jpeg_Loop/crop:" c, "fps"]; lad = val["BM_Jpeg_Ladder/crop:" c, "fps"]
    ff = (ff_us[c] > 0) ? frames / (ff_us[c] / 1e6) : 0
    printf "%-9s %9.0f %8.0f %8.0f %9.0f %10.0f %11.2fx %7.0f%% %8.0f%% %10d %8.0f %9.0f %10.0f\n", caption[c], a, s, ff, tj, lad,
      (ff > 0 ? a / ff : 0), (tj > 0 ? 100 * a / tj : 0), (lad > 0 ? 100 * a / lad : 0),
      val[p0, "encodings"], val[p0, "bytes_per_frame"], val[il, "bytes_per_frame"], ff_bytes[c] / frames
  }
  print "   ours: choose N, fit every frame (quality ladder), write the samples, close with the counts;"
  print "   B/frame: progressive (colour halved over two rows, 4:2:0); B/f intl: interlaced, colour per row (4:2:2),"
  print "   so one field never carries colour of the other;"
  print "   ffmpeg: -f rawvideo -pix_fmt bgr24 ... -c:v mjpeg -q:v " q ", same pictures, from memory to a file;"
  print "   TJ once: bare tjCompress2 once per frame at quality 80 on every core, nothing written (the codec limit);"
  print "   TJ ladder: the same bare loop doing every encoding the fitting rule needed (each frame from quality 80"
  print "   down to the quality it was stored at); encodings: what our pass did (3 test frames + every ladder step)."
  print ""
  print "2. Capture controller per 1920 x 1080 frame (stamp, rate, crop, arm, live paint), ms and share of 20 ms"
  printf "%-9s %26s %26s\n", "crop", "live view", "capturing (+ keep frame)"
  for (c = 0; c < 3; c++) {
    line = sprintf("%-9s", caption[c])
    for (m = 0; m < 2; m++) {
      t = real["BM_Live_Frame/crop:" c "/mode:" m]
      line = line sprintf(" %17.3f ms %5.1f%%", t, 100 * t / 20)
    }
    print line
  }
  print ""
  print "3. Review over a 1500-field recording (750 interlaced frames at 25 fps, noise pictures), ms per field shown"
  for (pace = 0; pace < 2; pace++) {
    print (pace ? "   at an official pace, 10 ms between steps (the next frame read ahead meanwhile):" : "   back to back (a replay):")
    printf "%-9s %22s %22s %22s %22s\n", "crop", "field by field", "new frame each step", "field, + screen", "new frame, + screen"
    for (c = 0; c < 2; c++)
      printf "%-9s %19.3f ms %19.3f ms %19.3f ms %19.3f ms\n", caption[c], real["BM_Review_Field/crop:" c "/step:1/screen:0/paced:" pace],
        real["BM_Review_Field/crop:" c "/step:2/screen:0/paced:" pace], real["BM_Review_Field/crop:" c "/step:1/screen:1/paced:" pace],
        real["BM_Review_Field/crop:" c "/step:2/screen:1/paced:" pace]
    for (c = 0; c < 2; c++)
      printf "%-9s %19.3f ms %19s    %19.3f ms %19s    (progressive 120 f/s: every step a new frame)\n", caption[c],
        real["BM_Review_Frame/crop:" c "/screen:0/paced:" pace], "", real["BM_Review_Frame/crop:" c "/screen:1/paced:" pace], ""
  }
  printf "%-9s %19.3f ms %19.3f ms %19.3f ms %19.3f ms   (main window)\n", caption[0], real["BM_Window_Scroll/step:1/screen:0"],
    real["BM_Window_Scroll/step:2/screen:0"], real["BM_Window_Scroll/step:1/screen:1"], real["BM_Window_Scroll/step:2/screen:1"]
  slow600 = 0; replay600 = 0
  for (k in real) if (k ~ /^BM_Review_(Field|Frame)\/crop:1\/.*screen:0\/paced:1/ && real[k] > slow600) slow600 = real[k]
  for (k in real) if (k ~ /^BM_Review_(Field|Frame)\/crop:1\/.*screen:0\/paced:0/ && real[k] > replay600) replay600 = real[k]
  printf "   goal: within 2 ms a step at 600*1080, new frame or not; slowest step here %.3f ms (%s); back to back %.3f ms\n", slow600, slow600 <= 2 ? "met" : "NOT met", replay600
  worst = 0
  for (k in real) if ((k ~ /^BM_Review_Field\/crop:0\/.*paced:1/ || k ~ /^BM_Window_Scroll\//) && real[k] > worst) worst = real[k]
  printf "   goal: under 5 ms a step at 400*880; slowest step here %.3f ms (%s)\n", worst, worst < 5 ? "met" : "NOT met"
  printf "   Goto_Time past the end (every one of %d positions drawn): %.1f ms in all, %.3f ms per field\n",
    val["BM_Goto_Time", "fields"], real["BM_Goto_Time"], (val["BM_Goto_Time", "fields"] > 0 ? real["BM_Goto_Time"] / val["BM_Goto_Time", "fields"] : 0)
  print "   a step is read + decode (when the field belongs to a new frame; at an official pace the reader has"
  print "   read it ahead in the 10 ms between steps, outside the timing) + deinterlace + paint: through"
  print "   Draw_RGB_Field onto a picture box (+ screen: the box repainted), and in the main window by moving"
  print "   Slider_play (Slider_play_Scroll: field, goal line, labels; + screen: the pending events run, so the"
  print "   picture box is painted onto the window)."
  print ""
  print "4. Opening and memory"
  printf "   opening a 3000-frame recording (400*880, %.0f MB): %.3f ms\n", val["BM_Open_Recording/crop:0", "file_MB"], real["BM_Open_Recording/crop:0"]
  for (c = 0; c < 3; c++) {
    m = "BM_Stored_Frame_Memory/crop:" c
    r = val[m, "rss_bytes_per_frame"]; b = val[m, "bytes_per_frame"]; pic = val[m, "picture_bytes"]
    printf "   memory per stored frame %-8s: %9.0f bytes resident, %9.0f allocated (picture %d bytes: %+.1f%%, %+.1f%%)\n",
      caption[c], r, b, pic, (pic > 0 ? 100 * (r - pic) / pic : 0), (pic > 0 ? 100 * (b - pic) / pic : 0)
  }
  print "   a stored frame: Store_HDMI_Buffer keeps a copy of the crop picture from a 1920 x 1080 camera frame;"
  print "   resident: VmRSS growth over 250 kept frames (freed memory handed back first); allocated: the allocator'"'"'s count."
  print ""
  print "5. Capture targets at 600*1080, today (raw frames, compressed when the window closes) beside on-arrival compression"
  printf "%-58s %14s %14s %12s\n", "", "today", "on arrival", "target"
  printf "%-58s %11.1f ms %11.1f ms %12s\n", "capture-end wait, 10-s window at 50 f/s (release to file closed)",
    real["BM_Capture_End/mode:0"], real["BM_Capture_End/mode:1"], "<= 50 ms"
  printf "%-58s %13.1f%% %13.1f%% %12s\n", "memory per kept frame after the first window (of raw)",
    val["BM_Kept_Memory/mode:0", "share_of_raw_pct"], val["BM_Kept_Memory/mode:1", "share_of_raw_pct"], "<= 5 %"
  printf "%-58s %11.1f MB %11.1f MB %12s\n", "pre-trigger ring, 1000 ms at 50 f/s",
    val["BM_Kept_Memory/mode:0", "ring_MB"], val["BM_Kept_Memory/mode:1", "ring_MB"], "<= 10 MB"
  for (m = 0; m < 2; m++) {
    k = "BM_Capture_UI/mode:" m
    cpu[m] = ms(val[k, "cpu_time"], val[k, "time_unit"])
  }
  printf "%-58s %9.1f%% cpu %9.1f%% cpu %12s\n", "controller on the window thread per frame (share of 20 ms)",
    100 * cpu[0] / 20, 100 * cpu[1] / 20, "<= 10 %"
  printf "%-58s %8.1f%% wall %8.1f%% wall\n", "   the same in wall time (workers share the cores)",
    100 * real["BM_Capture_UI/mode:0"] / 20, 100 * real["BM_Capture_UI/mode:1"] / 20
  print ""
  print "6. The first capture window of a recording at 600*1080 (frames 20 ms apart, through the capture controller)"
  printf "%-58s %14s %12s\n", "", "measured", "target"
  printf "%-58s %12.1f %% %12s\n", "memory per kept frame in the first window (of raw)",
    val["BM_First_Window_Memory", "share_of_raw_pct"], "<= 5 %"
  printf "%-58s %11.1f MB %12s\n", "pre-trigger ring before the first window, 1000 ms",
    val["BM_First_Window_Memory", "ring_MB"], "<= 10 MB"
  for (r = 1000; r <= 5000; r += 4000) {
    k = "BM_Window_Open/ring_ms:" r
    label = sprintf("window open on the window thread, %d-s ring (%d frames)", r / 1000, val[k, "ring_frames"])
    printf "%-58s %11.2f ms %12s\n", label, real[k], "<= 5 ms"
  }
  print "   window open: the journal made and handed over (Journal_Window) and the ring taken (Take_Pre_Trigger);"
  print ""
  print "7. A 10-s window at 600*1080 in real time, compressed on arrival (" cores " cores)"
  printf "%-22s %10s %10s %10s %22s\n", "source", "delivered", "kept", "late", "capture-end wait"
  for (f = 50; f <= 120; f += 70) {
    k = "BM_High_Rate_Window/fps:" f
    printf "%-22s %10d %10d %10d %19.1f ms\n", f " frames a second", val[k, "delivered"], val[k, "kept"], val[k, "late"], real[k]
  }
  print "   target: every frame of a 120 f/s source kept; late: frames the window thread handled after the next was due."
  print "   memory: what the allocator counts after the workers finished (Finish_Arrival), freed memory handed back."
  print ""
  print "8. A 6-s window at 600*1080, 50 f/s, browsers of the web server on loopback (" cores " cores)"
  printf "%-30s %10s %10s %10s %10s %14s %14s\n", "browsers", "delivered", "kept", "lost", "late", "thread cpu", "thread wall"
  for (b = 0; b < 2; b++) {
    k = "BM_Capture_With_Browsers/browsers:" b
    printf "%-30s %10d %10d %10d %10d %12.2f %% %12.1f %%\n", (b ? "64 scoreboards + 4 stewards" : "none connected"),
      val[k, "delivered"], val[k, "kept"], val[k, "lost"], val[k, "late"],
      100 * ms(val[k, "cpu_time"], val[k, "time_unit"]) / real[k], val[k, "window_thread_pct"]
  }
  print "   target: no frame lost; the window thread share within 1 percentage point of none connected."
  print "   thread cpu: the window thread own CPU time over the window (its set-up and the append after it included);"
  print "   thread wall: wall time spent in its capture and publishing calls, which other threads on the cores lengthen."
}' "$WORK/ffmpeg.txt" "$WORK/bench.json"

bash "$ROOT/bench/check_run.sh" "$WORK/bench.err" "$WORK/bench.json"
