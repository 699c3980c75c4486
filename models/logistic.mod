x=0.2
r=3.7

d
x=r*x*(1-x)

