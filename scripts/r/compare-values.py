# Compares two files of mlrreport value lines (ours, then the reference): per key the fields as
# numbers (nan only against nan), then the count and the largest relative difference.
import sys
def load(p):
    d={}
    for l in open(p):
        f=l.rstrip('\n').split('\t')
        if f[0] in ('infl','dfbetas','pred','loglik','aic','bic','beta'):
            d[(f[0],f[1]) if f[0] in ('infl','dfbetas','pred','beta') else (f[0],)]=f[2:] if f[0] in ('infl','dfbetas','pred','beta') else f[1:]
    return d
a=load(sys.argv[1]); b=load(sys.argv[2])
worst=0; bad=0
for k in b:
    if k not in a: print('missing',k); bad+=1; continue
    for x,y in zip(a[k],b[k]):
        try:
            fx=float(x); fy=float(y)
        except ValueError:
            if x!=y: print('diff',k,x,y); bad+=1
            continue
        if fx!=fx or fy!=fy:
            if not (fx!=fx and fy!=fy): print('nan diff',k,x,y); bad+=1
            continue
        rel=abs(fx-fy)/max(abs(fy),1e-300)
        if rel>worst: worst=rel; wk=(k,x,y)
extra=[k for k in a if k not in b and k[0] in ('infl','pred')]
print('keys',len(b),'extra',len(extra),'bad',bad,'worst rel',worst, wk if worst else '')
