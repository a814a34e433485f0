# box_model FILE SCALE X Y Z [R,G,B]: writes a text .x model of a red (or R,G,B) box, half a unit
# wide, one high and a quarter deep, times SCALE, centred at (X, Y, Z). Sourced by shell tests.
box_model() {
    awk -v s="$2" -v cx="$3" -v cy="$4" -v cz="$5" -v rgb="${6:-1,0,0}" 'BEGIN {
        split(rgb, c, ",")
        print "xof 0303txt 0032"
        print "Mesh box {"
        print " 8;"
        for (i = 0; i < 8; i++) {
            x = cx + s * (i % 2 ? 0.25 : -0.25)
            y = cy + s * (int(i / 2) % 2 ? 0.5 : -0.5)
            z = cz + s * (int(i / 4) ? 0.125 : -0.125)
            printf " %.6f;%.6f;%.6f;%s\n", x, y, z, i < 7 ? "," : ";"
        }
        # Clockwise seen from outside, as Direct3D draws front faces.
        n = split("2,3,1 2,1,0 7,6,4 7,4,5 6,2,0 6,0,4 3,7,5 3,5,1 6,7,3 6,3,2 5,4,0 5,0,1", f, " ")
        print " " n ";"
        for (i = 1; i <= n; i++) printf " 3;%s;%s\n", f[i], i < n ? "," : ";"
        print " MeshMaterialList {"
        print "  1; 12; 0,0,0,0,0,0,0,0,0,0,0,0;"
        printf "  Material { %s,%s,%s,1.0;; 0.0; 0.0,0.0,0.0;; 0.0,0.0,0.0;; }\n", c[1], c[2], c[3]
        print " }"
        print "}"
    }' >"$1"
}
