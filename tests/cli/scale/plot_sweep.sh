# One picture per test collection of a sweep's tables; none without tables.
command -v gnuplot >/dev/null || { echo "skip: gnuplot is not installed"; exit 77; }
bash "$SRC/examples/plot_sweep.sh" -o . "$DATA/hardening/sweep" && head -c 8 sweep_C2.png | od -c | head -1
bash "$SRC/examples/plot_sweep.sh" . 2>/dev/null; echo "status $?"
